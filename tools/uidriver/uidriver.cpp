// quorvi-uidriver: works another program's windows the way a user would, for
// end-to-end tests and the demo.
//
//   quorvi-uidriver.exe PROGRAM [ARGS...]
//
// Starts PROGRAM (a Windows path, Z:/... for a Linux file), then reads commands
// from standard input, one per line, and answers each with exactly one UTF-8
// line on standard output (flushed at once). The child's own standard output
// and error go to the driver's standard error, never among the answers; the
// child runs in a job that ends it if the driver itself is killed (programs it
// starts in turn are left running).
// Empty lines and lines starting with '#' are skipped without an answer.
// Arguments are separated by blanks; an argument with blanks is written in
// double quotes, a quote inside it doubled ("say ""hi"""), "" is the empty text.
//
// A control is named CTRL = ID or ID#INDEX: the INDEX-th (from 0) descendant of
// the current window with that control id, siblings in their z-order, which is
// their creation order in a dialog. Where a command takes no number after
// the control, the index may also follow as a separate number (click 1232 1).
// Timeouts are in milliseconds; a missing one means 10000.
//
//   window TITLE [TIMEOUT]       wait for a visible top-level window of the child with exactly
//                                that title; it becomes the current window   -> ok | timeout
//   click CTRL [INDEX]           left click at the control's centre  -> ok | posted | missing | hidden
//   dblclick CTRL [INDEX]        double click at the control's centre -> ok | posted | missing | hidden
//   key VK                       press and release a virtual key in the current window -> ok
//   type CTRL TEXT               select all of an edit's text and type TEXT as WM_CHAR
//                                messages, then wait until the edit shows it -> ok | missing | timeout
//   settext CTRL TEXT            WM_SETTEXT                                  -> ok | missing
//   text CTRL [INDEX]            the control's text (CR and LF shown as \r and \n) | missing
//   visible CTRL [INDEX]         1 | 0 | missing
//   checked CTRL [INDEX]         BM_GETCHECK: 0 | 1 | 2 | missing
//   rect                         window X Y W H client X Y W H   (screen pixels)
//   height                       the current window's client height
//   wait-visible CTRL [TIMEOUT]  -> ok | timeout       (a missing control counts as not visible)
//   wait-hidden CTRL [TIMEOUT]   -> ok | timeout
//   wait-text CTRL TEXT [TIMEOUT] -> ok | timeout
//   dialog [TIMEOUT]             wait for a visible, enabled dialog box (class #32770) of the
//                                child other than the current window; it becomes the current
//                                dialog                                      -> dialog CAPTION | TEXT  or  timeout
//   press BUTTON_ID              BM_CLICK on that button of the current dialog (1 OK, 2 Cancel),
//                                then wait up to 5 s for the dialog to close -> ok | missing
//   screenshot FILE              the current window as the screen shows it, 24-bit BMP -> ok | failed
//   sleep MS                     -> ok
//   wait-exit [TIMEOUT]          -> exit CODE (the full 32-bit code, unsigned) | timeout
//   kill                         terminate the child (exit code 9999)        -> ok
//
// Anything else, or wrong arguments, answers "error: ..." and changes nothing.
// When standard input ends the driver kills the child if it still runs and
// prints "exit CODE" as its last line. Clicks and keys are real input
// (SendInput, the cursor moves there) and answer "ok" when the control's centre
// is on the screen, inside its window's client area and not covered by another
// window; otherwise the button messages are posted to the control and the
// answer is "posted" (no user could have clicked there), so that a click never
// lands in a foreign window and a test can tell the two apart.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/raii.h"
#include "tools/tool_output.h"

namespace {

constexpr DWORD kDefaultTimeoutMs = 10000;
constexpr DWORD kMessageTimeoutMs = 5000;
constexpr DWORD kPollMs = 25;
constexpr UINT kKilledExitCode = 9999;
constexpr size_t kMaxLineBytes = 65536;

HANDLE gChild = nullptr;
DWORD gChildPid = 0;
HWND gWindow = nullptr;
HWND gDialog = nullptr;

std::wstring FromUtf8(const std::string& bytes) {
  if (bytes.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

// One line of standard input without its CR/LF; false at the end of input.
bool ReadLine(std::string& line) {
  line.clear();
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  for (;;) {
    char c;
    DWORD got = 0;
    if (!ReadFile(in, &c, 1, &got, nullptr) || got == 0) return !line.empty();
    if (c == '\n') break;
    if (line.size() < kMaxLineBytes) line.push_back(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool Tokenize(const std::wstring& line, std::vector<std::wstring>& tokens) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == L' ' || line[i] == L'\t') {
      ++i;
      continue;
    }
    std::wstring token;
    if (line[i] == L'"') {
      ++i;
      for (;;) {
        if (i >= line.size()) return false;  // unterminated quote
        if (line[i] == L'"') {
          if (i + 1 < line.size() && line[i + 1] == L'"') {
            token.push_back(L'"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        token.push_back(line[i++]);
      }
    } else {
      while (i < line.size() && line[i] != L' ' && line[i] != L'\t') token.push_back(line[i++]);
    }
    tokens.push_back(token);
  }
  return true;
}

bool ParseNumber(const std::wstring& text, DWORD& value) {
  if (text.empty() || text.size() > 9) return false;
  DWORD v = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + (c - L'0');
  }
  value = v;
  return true;
}

struct ControlRef {
  int id = 0;
  int index = 0;
};

bool ParseControl(const std::wstring& text, ControlRef& ref) {
  size_t hash = text.find(L'#');
  DWORD id = 0, index = 0;
  if (!ParseNumber(text.substr(0, hash), id)) return false;
  if (hash != std::wstring::npos && !ParseNumber(text.substr(hash + 1), index)) return false;
  ref.id = static_cast<int>(id);
  ref.index = static_cast<int>(index);
  return true;
}

std::wstring Escape(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\r')
      out += L"\\r";
    else if (c == L'\n')
      out += L"\\n";
    else
      out.push_back(c);
  }
  return out;
}

bool ChildAlive() {
  return gChild && WaitForSingleObject(gChild, 0) == WAIT_TIMEOUT;
}

// Polls `done` until it holds or the time is up.
template <typename Check>
bool WaitFor(DWORD timeoutMs, Check done) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

// The text of a window of another process: WM_GETTEXT is marshalled across
// processes, GetWindowText is not for controls.
std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                      kMessageTimeoutMs, &copied);
  text.resize(copied);
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

struct TopSearch {
  const std::wstring* title;  // exact title, or null for a dialog box
  HWND skip;
  HWND found;
};

BOOL CALLBACK FindTopWindow(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<TopSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != gChildPid || !IsWindowVisible(window) || window == s->skip) return TRUE;
  if (s->title) {
    int n = GetWindowTextLengthW(window);
    std::wstring title(n + 1, L'\0');
    title.resize(GetWindowTextW(window, title.data(), n + 1));
    if (title != *s->title) return TRUE;
  } else if (ClassName(window) != L"#32770" || !IsWindowEnabled(window)) {
    return TRUE;
  }
  s->found = window;
  return FALSE;
}

struct ChildSearch {
  int id;
  int index;
  int seen;
  HWND found;
};

BOOL CALLBACK FindChild(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<ChildSearch*>(param);
  if (GetDlgCtrlID(window) != s->id) return TRUE;
  if (s->seen++ == s->index) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindControl(HWND parent, const ControlRef& ref) {
  if (!parent || !IsWindow(parent)) return nullptr;
  ChildSearch s{ref.id, ref.index, 0, nullptr};
  EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

POINT Centre(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return {r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2};
}

// Real input reaches the control only when its centre is on the screen and the
// window there belongs to the same top-level window.
bool ReachableByMouse(HWND control, POINT p) {
  if (p.x < 0 || p.y < 0 || p.x >= GetSystemMetrics(SM_CXSCREEN) || p.y >= GetSystemMetrics(SM_CYSCREEN)) return false;
  HWND top = GetAncestor(control, GA_ROOT);
  RECT client{};
  GetClientRect(top, &client);
  POINT origin{0, 0};
  ClientToScreen(top, &origin);
  if (p.x < origin.x || p.y < origin.y || p.x >= origin.x + client.right || p.y >= origin.y + client.bottom)
    return false;
  HWND hit = WindowFromPoint(p);
  return hit && GetAncestor(hit, GA_ROOT) == top;
}

void BringToFront(HWND window) {
  HWND top = GetAncestor(window, GA_ROOT);
  if (GetForegroundWindow() != top) SetForegroundWindow(top);
}

// Every button event carries the absolute position: Wine may still deliver a
// pointer motion from the X server's earlier position between a press and its
// release, and a release away from the button is no click.
void SendMouseButton(DWORD flags, POINT at) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  input.mi.dx = static_cast<LONG>((at.x * 65535LL + (width - 1) / 2) / (width > 1 ? width - 1 : 1));
  input.mi.dy = static_cast<LONG>((at.y * 65535LL + (height - 1) / 2) / (height > 1 ? height - 1 : 1));
  input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(input));
}

// Lets the child handle the `queued` input or posted messages the driver just
// gave it before the driver answers. They sit in the child's queue once
// SendInput or PostMessage returns, but the child takes them one per message
// retrieval, after any sent message: each synchronous round trip therefore
// lets at most one more of them through, and queued + 2 round trips see all of
// them dispatched (or the child waiting in a modal loop they opened).
void Settle(HWND window, int queued) {
  for (int i = 0; i < queued + 2; ++i) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored)) return;
  }
}

std::wstring Click(HWND control, bool twice) {
  if (!IsWindowVisible(control)) return L"hidden";
  POINT p = Centre(control);
  BringToFront(control);
  if (ReachableByMouse(control, p)) {
    SetCursorPos(p.x, p.y);
    for (int i = 0; i < (twice ? 2 : 1); ++i) {
      SendMouseButton(MOUSEEVENTF_LEFTDOWN, p);
      SendMouseButton(MOUSEEVENTF_LEFTUP, p);
    }
    Settle(control, twice ? 5 : 3);  // the move, then a down and an up per click
    return L"ok";
  }
  POINT local = p;
  ScreenToClient(control, &local);
  LPARAM at = MAKELPARAM(local.x, local.y);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(control, WM_LBUTTONUP, 0, at);
  if (twice) {
    PostMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(control, WM_LBUTTONUP, 0, at);
  }
  Settle(control, twice ? 4 : 2);
  return L"posted";
}

std::wstring PressKey(WORD vk) {
  BringToFront(gWindow);
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = vk;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
  Settle(gWindow, 3);  // down, the character it is translated to, up
  return L"ok";
}

std::wstring TypeText(HWND edit, const std::wstring& text) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored);
  if (text.empty()) {
    PostMessageW(edit, WM_CHAR, VK_BACK, 1);
  }
  for (wchar_t c : text) PostMessageW(edit, WM_CHAR, c, 1);
  return WaitFor(kMessageTimeoutMs, [&] { return WindowText(edit) == text; }) ? L"ok" : L"timeout";
}

bool WriteBmp(const std::wstring& path, HWND window) {
  RECT r{};
  if (!GetWindowRect(window, &r)) return false;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;  // bottom-up, as BMP files store rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  bool ok = false;
  if (bitmap && memory) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  DWORD imageBytes = stride * static_cast<DWORD>(h);
  if (ok) {
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    info.bmiHeader.biSizeImage = imageBytes;
    UniqueFileHandle out(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ok = out && WriteFile(out.get(), &file, sizeof(file), &written, nullptr) &&
         WriteFile(out.get(), &info.bmiHeader, sizeof(BITMAPINFOHEADER), &written, nullptr) &&
         WriteFile(out.get(), bits, imageBytes, &written, nullptr) && written == imageBytes;
  }
  if (memory) DeleteDC(memory);
  if (bitmap) DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return ok;
}

std::wstring DialogText(HWND dialog) {
  std::wstring text;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (lstrcmpiW(ClassName(c).c_str(), L"Static") != 0) continue;
    std::wstring part = WindowText(c);
    if (part.empty()) continue;
    if (!text.empty()) text += L" ";
    text += part;
  }
  return text;
}

std::wstring ExitLine() {
  DWORD code = 0;
  GetExitCodeProcess(gChild, &code);
  return L"exit " + std::to_wstring(code);
}

// The answer to one command line.
std::wstring Execute(const std::vector<std::wstring>& a) {
  const std::wstring& cmd = a[0];
  size_t n = a.size();
  DWORD number = 0;
  ControlRef ref;

  // optional timeout at position i
  auto timeoutAt = [&](size_t i, DWORD& timeout) {
    timeout = kDefaultTimeoutMs;
    return i >= n || ParseNumber(a[i], timeout);
  };
  // CTRL [INDEX] from position 1 with nothing after
  auto controlWithIndex = [&](HWND& control) -> std::wstring {
    if (n < 2 || n > 3 || !ParseControl(a[1], ref)) return L"error: expected " + cmd + L" ID[#INDEX] [INDEX]";
    if (n == 3) {
      DWORD index = 0;
      if (!ParseNumber(a[2], index)) return L"error: bad index";
      ref.index = static_cast<int>(index);
    }
    if (!gWindow) return L"error: no current window";
    control = FindControl(gWindow, ref);
    return control ? L"" : L"missing";
  };

  if (cmd == L"window") {
    DWORD timeout = 0;
    if (n < 2 || n > 3 || !timeoutAt(2, timeout)) return L"error: expected window TITLE [TIMEOUT]";
    TopSearch s{&a[1], nullptr, nullptr};
    bool found = WaitFor(timeout, [&] {
      s.found = nullptr;
      EnumWindows(FindTopWindow, reinterpret_cast<LPARAM>(&s));
      return s.found != nullptr;
    });
    if (!found) return L"timeout";
    gWindow = s.found;
    return L"ok";
  }
  if (cmd == L"click" || cmd == L"dblclick" || cmd == L"text" || cmd == L"visible" || cmd == L"checked") {
    HWND control = nullptr;
    std::wstring problem = controlWithIndex(control);
    if (!problem.empty()) return problem;
    if (cmd == L"click") return Click(control, false);
    if (cmd == L"dblclick") return Click(control, true);
    if (cmd == L"text") return Escape(WindowText(control));
    if (cmd == L"visible") return IsWindowVisible(control) ? L"1" : L"0";
    DWORD_PTR state = 0;
    SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &state);
    return std::to_wstring(state);
  }
  if (cmd == L"type" || cmd == L"settext") {
    if (n != 3 || !ParseControl(a[1], ref)) return L"error: expected " + cmd + L" ID[#INDEX] TEXT";
    if (!gWindow) return L"error: no current window";
    HWND control = FindControl(gWindow, ref);
    if (!control) return L"missing";
    if (cmd == L"type") return TypeText(control, a[2]);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[2].c_str()), SMTO_ABORTIFHUNG,
                        kMessageTimeoutMs, &ignored);
    return L"ok";
  }
  if (cmd == L"wait-visible" || cmd == L"wait-hidden" || cmd == L"wait-text") {
    bool wantText = cmd == L"wait-text";
    size_t timeoutPos = wantText ? 3 : 2;
    DWORD timeout = 0;
    if (n < timeoutPos || n > timeoutPos + 1 || !ParseControl(a[1], ref) || !timeoutAt(timeoutPos, timeout))
      return L"error: expected " + cmd + (wantText ? L" ID[#INDEX] TEXT [TIMEOUT]" : L" ID[#INDEX] [TIMEOUT]");
    if (!gWindow) return L"error: no current window";
    bool wantVisible = cmd == L"wait-visible";
    bool done = WaitFor(timeout, [&] {
      HWND control = FindControl(gWindow, ref);
      if (wantText) return control && WindowText(control) == a[2];
      bool visible = control && IsWindowVisible(control);
      return visible == wantVisible;
    });
    return done ? L"ok" : L"timeout";
  }
  if (cmd == L"key") {
    if (n != 2 || !ParseNumber(a[1], number) || number == 0 || number > 254) return L"error: expected key VK (1..254)";
    if (!gWindow) return L"error: no current window";
    return PressKey(static_cast<WORD>(number));
  }
  if (cmd == L"rect" || cmd == L"height") {
    if (n != 1) return L"error: " + cmd + L" takes no arguments";
    if (!gWindow || !IsWindow(gWindow)) return L"error: no current window";
    RECT w{}, c{};
    GetWindowRect(gWindow, &w);
    GetClientRect(gWindow, &c);
    if (cmd == L"height") return std::to_wstring(c.bottom);
    POINT origin{0, 0};
    ClientToScreen(gWindow, &origin);
    return L"window " + std::to_wstring(w.left) + L" " + std::to_wstring(w.top) + L" " +
           std::to_wstring(w.right - w.left) + L" " + std::to_wstring(w.bottom - w.top) + L" client " +
           std::to_wstring(origin.x) + L" " + std::to_wstring(origin.y) + L" " + std::to_wstring(c.right) + L" " +
           std::to_wstring(c.bottom);
  }
  if (cmd == L"dialog") {
    DWORD timeout = 0;
    if (n > 2 || !timeoutAt(1, timeout)) return L"error: expected dialog [TIMEOUT]";
    TopSearch s{nullptr, gWindow, nullptr};
    bool found = WaitFor(timeout, [&] {
      s.found = nullptr;
      EnumWindows(FindTopWindow, reinterpret_cast<LPARAM>(&s));
      return s.found != nullptr;
    });
    if (!found) return L"timeout";
    gDialog = s.found;
    int length = GetWindowTextLengthW(gDialog);
    std::wstring caption(length + 1, L'\0');
    caption.resize(GetWindowTextW(gDialog, caption.data(), length + 1));
    return L"dialog " + Escape(caption) + L" | " + Escape(DialogText(gDialog));
  }
  if (cmd == L"press") {
    if (n != 2 || !ParseNumber(a[1], number)) return L"error: expected press BUTTON_ID";
    if (!gDialog || !IsWindow(gDialog)) return L"error: no current dialog";
    HWND button = GetDlgItem(gDialog, static_cast<int>(number));
    if (!button) return L"missing";
    PostMessageW(button, BM_CLICK, 0, 0);
    HWND dialog = gDialog;
    WaitFor(kMessageTimeoutMs, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
    return L"ok";
  }
  if (cmd == L"screenshot") {
    if (n != 2) return L"error: expected screenshot FILE";
    if (!gWindow || !IsWindow(gWindow)) return L"error: no current window";
    BringToFront(gWindow);
    Settle(gWindow, 0);
    return WriteBmp(a[1], gWindow) ? L"ok" : L"failed";
  }
  if (cmd == L"sleep") {
    if (n != 2 || !ParseNumber(a[1], number)) return L"error: expected sleep MS";
    Sleep(number);
    return L"ok";
  }
  if (cmd == L"wait-exit") {
    DWORD timeout = 0;
    if (n > 2 || !timeoutAt(1, timeout)) return L"error: expected wait-exit [TIMEOUT]";
    if (WaitForSingleObject(gChild, timeout) != WAIT_OBJECT_0) return L"timeout";
    return ExitLine();
  }
  if (cmd == L"kill") {
    if (n != 1) return L"error: kill takes no arguments";
    if (ChildAlive()) {
      TerminateProcess(gChild, kKilledExitCode);
      WaitForSingleObject(gChild, kMessageTimeoutMs);
    }
    return L"ok";
  }
  return L"error: unknown command " + cmd;
}

// Quotes one argument so that the child's command-line parser gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    PrintLine(L"usage: quorvi-uidriver PROGRAM [ARGS...]   (commands on standard input)");
    return 2;
  }
  std::wstring commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += L" ";
    commandLine += QuoteArgument(argv[i]);
  }
  // The child's own output must never mix with the answers on standard output:
  // it gets the driver's standard error (where diagnostics belong) for both of
  // its outputs and an empty input. Only these copies are inheritable.
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    SetHandleInformation(GetStdHandle(which), HANDLE_FLAG_INHERIT, 0);
  }
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  UniqueFileHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   OPEN_EXISTING, 0, nullptr));
  UniqueHandle childOutput;
  HANDLE ownError = GetStdHandle(STD_ERROR_HANDLE);
  HANDLE copy = nullptr;
  if (ownError && ownError != INVALID_HANDLE_VALUE &&
      DuplicateHandle(GetCurrentProcess(), ownError, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
    childOutput.reset(copy);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul.get();
  startup.hStdOutput = childOutput ? childOutput.get() : nul.get();
  startup.hStdError = startup.hStdOutput;
  PROCESS_INFORMATION process{};
  // The child goes into a job that ends it when the driver's handles close,
  // so a driver that is itself killed leaves no window behind. Programs the
  // child starts (the installer launching the application) break away.
  UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  if (job) SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                      &process)) {
    PrintLine(L"error: cannot start " + std::wstring(argv[1]) + L" (" + std::to_wstring(GetLastError()) + L")");
    return 2;
  }
  UniqueHandle child(process.hProcess);
  UniqueHandle thread(process.hThread);
  if (job) AssignProcessToJobObject(job.get(), child.get());
  ResumeThread(thread.get());
  gChild = child.get();
  gChildPid = process.dwProcessId;

  std::string raw;
  while (ReadLine(raw)) {
    std::wstring line = FromUtf8(raw);
    std::vector<std::wstring> tokens;
    if (!Tokenize(line, tokens)) {
      PrintLine(L"error: unterminated quote");
      continue;
    }
    if (tokens.empty() || tokens[0][0] == L'#') continue;
    PrintLine(Execute(tokens));
  }
  if (ChildAlive()) {
    TerminateProcess(gChild, kKilledExitCode);
    WaitForSingleObject(gChild, kMessageTimeoutMs);
  }
  PrintLine(ExitLine());
  return 0;
}
