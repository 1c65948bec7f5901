// A small window for the UI driver's tests: every control reports what it
// received in the status label 102, so the test can tell a real click from none.
//   101 button "按钮"        click -> status "clicked N", label 111 "cursor X Y": where the mouse
//                            cursor was, in client pixels (real input puts it at the button's centre);
//                            it is slow to take the button press (200 ms), so a driver that answers
//                            before the whole click was handled is caught
//   200 static "第一"        first of two controls with the same id
//   200 static "第二"        second one, hidden; button 103 shows it 300 ms later
//   104 edit                 every WM_CHAR it gets is counted in label 106 "chars N"
//   107 auto check box
//   108 button               message box "要继续吗?" / "问题" (OK, Cancel) -> status "box 1" or "box 2"
//   109 notify static        double click -> status "double"
//   110 button "退出"        ends the program with exit code 1009
//   112 static               the program's arguments as parsed from its command line, joined by '|'
//   113 button               below the client area's lower edge -> status "outside"
// On start it writes a line to its standard output, as the download engine's
// diagnostics do: the driver must keep it out of its answers.
// Escape (cancel command) -> status "escape". Client area 400 x 300.
// the shell header needs the types <windows.h> declares
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <string>

namespace {

constexpr int kClientWidth = 400;
constexpr int kClientHeight = 300;
constexpr UINT_PTR kShowTimer = 1;
constexpr int kExitCode = 1009;

HWND gMain = nullptr;
HWND gSecond = nullptr;
WNDPROC gEditProc = nullptr;
int gClicks = 0;
int gChars = 0;

void Status(const std::wstring& text) {
  SetDlgItemTextW(gMain, 102, text.c_str());
}

WNDPROC gButtonProc = nullptr;

LRESULT CALLBACK SlowButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN) Sleep(200);
  return CallWindowProcW(gButtonProc, window, message, wParam, lParam);
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR) SetDlgItemTextW(gMain, 106, (L"chars " + std::to_wstring(++gChars)).c_str());
  return CallWindowProcW(gEditProc, window, message, wParam, lParam);
}

HWND Make(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
  return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      HWND slow = Make(window, L"BUTTON", L"按钮", BS_PUSHBUTTON, 10, 10, 100, 30, 101);
      gButtonProc =
          reinterpret_cast<WNDPROC>(SetWindowLongPtrW(slow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SlowButtonProc)));
      Make(window, L"STATIC", L"", 0, 120, 10, 270, 20, 102);
      Make(window, L"BUTTON", L"显示", BS_PUSHBUTTON, 10, 50, 100, 30, 103);
      Make(window, L"STATIC", L"第一", 0, 120, 50, 60, 20, 200);
      gSecond = Make(window, L"STATIC", L"第二", 0, 190, 50, 60, 20, 200);
      ShowWindow(gSecond, SW_HIDE);
      HWND edit = Make(window, L"EDIT", L"旧文本", WS_BORDER | ES_AUTOHSCROLL, 10, 90, 250, 24, 104);
      gEditProc =
          reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
      Make(window, L"STATIC", L"chars 0", 0, 270, 90, 120, 20, 106);
      Make(window, L"BUTTON", L"选项", BS_AUTOCHECKBOX, 10, 130, 100, 20, 107);
      Make(window, L"BUTTON", L"提问", BS_PUSHBUTTON, 10, 160, 100, 30, 108);
      Make(window, L"STATIC", L"双击这里", SS_NOTIFY, 10, 200, 100, 20, 109);
      Make(window, L"BUTTON", L"退出", BS_PUSHBUTTON, 10, 240, 100, 30, 110);
      Make(window, L"STATIC", L"", 0, 120, 240, 200, 20, 111);
      int argc = 0;
      LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
      std::wstring args;
      for (int i = 1; argv && i < argc; ++i) args += (i > 1 ? L"|" : L"") + std::wstring(argv[i]);
      LocalFree(argv);
      Make(window, L"STATIC", args.c_str(), 0, 120, 275, 270, 20, 112);
      Make(window, L"BUTTON", L"外面", BS_PUSHBUTTON, 10, 320, 100, 30, 113);
      return 0;
    }
    case WM_TIMER:
      KillTimer(window, kShowTimer);
      ShowWindow(gSecond, SW_SHOW);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case 101: {
          Status(L"clicked " + std::to_wstring(++gClicks));
          POINT p{};
          GetCursorPos(&p);
          ScreenToClient(window, &p);
          SetDlgItemTextW(window, 111, (L"cursor " + std::to_wstring(p.x) + L" " + std::to_wstring(p.y)).c_str());
          break;
        }
        case 103:
          SetTimer(window, kShowTimer, 300, nullptr);
          break;
        case 108:
          Status(L"box " + std::to_wstring(MessageBoxW(window, L"要继续吗?", L"问题", MB_OKCANCEL)));
          break;
        case 109:
          if (HIWORD(wParam) == STN_DBLCLK) Status(L"double");
          break;
        case 110:
          DestroyWindow(window);
          PostQuitMessage(kExitCode);
          break;
        case 113:
          Status(L"outside");
          break;
        case IDCANCEL:
          Status(L"escape");
          break;
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  const char chatter[] = "test window: a line on standard output\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), chatter, sizeof(chatter) - 1, &written, nullptr);
  WNDCLASSW cls{};
  cls.lpfnWndProc = MainProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = L"QuorviDriverTestWindow";
  RegisterClassW(&cls);
  RECT r{0, 0, kClientWidth, kClientHeight};
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  AdjustWindowRect(&r, style, FALSE);
  gMain = CreateWindowExW(0, cls.lpszClassName, L"驱动测试窗口", style, 100, 100, r.right - r.left, r.bottom - r.top,
                          nullptr, nullptr, instance, nullptr);
  ShowWindow(gMain, show);
  UpdateWindow(gMain);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsWindow(gMain) && IsDialogMessageW(gMain, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
