// quorvi-unpack ARCHIVE FOLDER: runs the package extraction as the installer
// does (on a worker thread, posting to a window) and prints what the window
// would see, one line per posted message or message-box text, in order.
#include <windows.h>

#include <string>
#include <thread>

#include "app/window_messages.h"
#include "extract/extract_package.h"
#include "tools/tool_output.h"

namespace {

constexpr UINT kShowText = WM_APP + 1;  // wParam: const std::wstring*, lParam: event to set
HWND gWindow = nullptr;

// The message box seam: hands the text to the window thread through the same
// queue as the progress messages so that the printed order is the real one.
int WINAPI PrintMessageBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
  std::wstring copy = text ? text : L"";
  HANDLE printed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  PostMessageW(gWindow, kShowText, reinterpret_cast<WPARAM>(&copy), reinterpret_cast<LPARAM>(printed));
  WaitForSingleObject(printed, INFINITE);
  CloseHandle(printed);
  return IDOK;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    PrintLine(L"usage: quorvi-unpack ARCHIVE FOLDER");
    return 64;
  }
  gWindow = CreateWindowExW(0, L"STATIC", L"quorvi-unpack", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  std::wstring archive = argv[1], folder = argv[2];
  std::thread worker([&] { ExtractPackage(archive.c_str(), folder.c_str(), gWindow, PrintMessageBox); });

  int exitCode = -1;
  MSG msg;
  while (exitCode < 0 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    switch (msg.message) {
      case UM_EXTRACT_PROGRESS:
        PrintLine(L"progress " + std::to_wstring(msg.wParam) + L" " + std::to_wstring(msg.lParam));
        break;
      case UM_EXTRACT_FAILED:
        PrintLine(L"failed " + std::to_wstring(msg.wParam));
        exitCode = static_cast<int>(msg.wParam);
        break;
      case UM_EXTRACT_DONE:
        PrintLine(L"done");
        exitCode = 0;
        break;
      case kShowText:
        PrintLine(L"message " + *reinterpret_cast<const std::wstring*>(msg.wParam));
        SetEvent(reinterpret_cast<HANDLE>(msg.lParam));
        break;
      default:
        DispatchMessageW(&msg);
    }
  }
  worker.join();
  return exitCode;
}
