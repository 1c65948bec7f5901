// Quorvi.exe of the sample package: the application the installer puts in
// place and launches. It shows one window titled with the product name and
// stays up until it is closed.
//
// Launch marker: on every start it appends one UTF-8 line to
// %TEMP%\quorvi-launched.txt:   FULL_PATH_OF_THIS_EXE <TAB> YYYY-MM-DD HH:MM:SS.mmm <LF>
// (local time), so that tests can see that, and from where, it was launched.
#include <windows.h>

#include <cstdio>
#include <string>

#include "framework/raii.h"
#include "tools/package/module_path.h"

namespace {

constexpr wchar_t kProductName[] = L"Quorvi手机助手";
constexpr wchar_t kMarkerName[] = L"quorvi-launched.txt";
constexpr wchar_t kGreeting[] = L"Quorvi手机助手已安装完成，欢迎使用。";
constexpr int kClientWidth = 480;
constexpr int kClientHeight = 160;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

void AppendLaunchMarker() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char stamp[64];
  std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  std::string line = Utf8(ModulePath()) + "\t" + stamp + "\n";
  // append-only access: two starts at once still give two whole lines
  UniqueFileHandle file(CreateFileW((std::wstring(temp) + kMarkerName).c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT client;
      GetClientRect(window, &client);
      SetBkMode(dc, TRANSPARENT);
      DrawTextW(dc, kGreeting, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  AppendLaunchMarker();
  WNDCLASSW cls{};
  cls.lpfnWndProc = MainProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  cls.lpszClassName = L"QuorviSampleApplication";
  if (!RegisterClassW(&cls)) return 1;
  RECT r{0, 0, kClientWidth, kClientHeight};
  DWORD style = WS_OVERLAPPEDWINDOW;
  AdjustWindowRect(&r, style, FALSE);
  HWND window = CreateWindowExW(0, cls.lpszClassName, kProductName, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
