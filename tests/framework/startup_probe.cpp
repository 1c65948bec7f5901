// A small program built on the start-up helpers, for the exit-code tests:
//   startup_probe quit CODE          the window quits the loop with CODE
//   startup_probe show               quits with 2 when shown minimised, 1 when shown otherwise
//   startup_probe missing-template   the window cannot be created
// Any failure to find the thread's message loop from the window quits with 3.
#include <windows.h>

#include <string>

#include "app/startup.h"

namespace {

constexpr UINT kAct = WM_APP + 7;
std::wstring mode;
int quitCode = 0;

class ProbeDialog : public CDialogImpl, public CMessageFilter, public CIdleHandler {
 public:
  BOOL PreTranslateMessage(MSG* message) override { return ::IsDialogMessageW(m_hWnd, message); }
  BOOL OnIdle() override { return FALSE; }

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD) override {
    MessageDispatch<ProbeDialog> d(this, window, message, wParam, lParam, result);
    return d.Message(WM_INITDIALOG, &ProbeDialog::OnInit) || d.Message(WM_DESTROY, &ProbeDialog::OnDestroy) ||
           d.Message(kAct, &ProbeDialog::OnAct);
  }

 private:
  LRESULT OnInit(UINT, WPARAM, LPARAM, BOOL&) {
    CMessageLoop* loop = AppModule().GetMessageLoop();
    registered_ = loop && loop->AddMessageFilter(this) && loop->AddIdleHandler(this);
    ::PostMessageW(m_hWnd, kAct, 0, 0);
    return TRUE;
  }
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
    if (CMessageLoop* loop = AppModule().GetMessageLoop()) {
      loop->RemoveMessageFilter(this);
      loop->RemoveIdleHandler(this);
    }
    return 0;
  }
  LRESULT OnAct(UINT, WPARAM, LPARAM, BOOL&) {
    int code = quitCode;
    if (!registered_) {
      code = 3;
    } else if (mode == L"show") {
      code = ::IsIconic(m_hWnd) ? 2 : (::IsWindowVisible(m_hWnd) ? 1 : 0);
    }
    // as the installer does: the window goes first, then the loop
    ::DestroyWindow(m_hWnd);
    ::PostQuitMessage(code);
    return 0;
  }

  bool registered_ = false;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  if (__argc >= 2) mode = __wargv[1];
  if (__argc >= 3) quitCode = _wtoi(__wargv[2]);
  int templateId = mode == L"missing-template" ? 4321 : kMainDialogTemplate;
  return RunApplication(instance, [&] { return RunMainDialog<ProbeDialog>(showCommand, templateId); });
}
