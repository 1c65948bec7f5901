#include "framework/dialog.h"

namespace {

constexpr wchar_t kObjectProperty[] = L"Quorvi.DialogObject";

// The dialog being created on this thread; bound on its first message, which
// comes before WM_INITDIALOG (WM_SETFONT for a DS_SETFONT template).
thread_local CDialogImpl* creatingDialog = nullptr;

// Messages whose answer a dialog procedure returns directly instead of through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  switch (message) {
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

}  // namespace

CDialogImpl::~CDialogImpl() {
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    HWND window = m_hWnd;
    // the window's last messages must not reach a half-destroyed object
    ::RemovePropW(window, kObjectProperty);
    m_hWnd = nullptr;
    ::DestroyWindow(window);
  }
}

DLGPROC CDialogImpl::GetDialogProc() {
  return &CDialogImpl::DialogProc;
}

void CDialogImpl::OnFinalMessage(HWND) {}

CDialogImpl* CDialogImpl::FromHandle(HWND window) {
  return static_cast<CDialogImpl*>(::GetPropW(window, kObjectProperty));
}

HWND CDialogImpl::Create(HWND owner, int templateId, LPARAM initParam) {
  if (m_hWnd) return nullptr;
  CDialogImpl* outer = creatingDialog;
  creatingDialog = this;
  HWND window = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner, GetDialogProc(),
                                     initParam);
  creatingDialog = outer;
  return window;
}

BOOL CDialogImpl::DestroyWindow() {
  return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

INT_PTR CALLBACK CDialogImpl::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialogImpl* self = FromHandle(window);
  if (!self) {
    self = creatingDialog;
    if (!self) return FALSE;
    creatingDialog = nullptr;
    self->m_hWnd = window;
    ::SetPropW(window, kObjectProperty, self);
  }
  LRESULT result = 0;
  BOOL handled = self->ProcessWindowMessage(window, message, wParam, lParam, result, 0);
  if (message == WM_NCDESTROY) {
    ::RemovePropW(window, kObjectProperty);
    self->m_hWnd = nullptr;
    self->OnFinalMessage(window);
    return FALSE;
  }
  if (!handled) return FALSE;
  if (ReturnsDirectly(message)) return static_cast<INT_PTR>(result);
  ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}
