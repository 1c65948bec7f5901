#include "framework/message_map.h"

HWND FindReflectionTarget(HWND parent, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // menu and accelerator commands carry no control window
      return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
      return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_PARENTNOTIFY:
      if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY) return reinterpret_cast<HWND>(lParam);
      return ::GetDlgItem(parent, HIWORD(wParam));
    case WM_DRAWITEM:
      return wParam && lParam ? reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_MEASUREITEM:
      return wParam && lParam ? ::GetDlgItem(parent, reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID)
                              : nullptr;
    case WM_COMPAREITEM:
      return wParam && lParam ? reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_DELETEITEM:
      return wParam && lParam ? reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<HWND>(lParam);
    default:
      return nullptr;
  }
}

BOOL ReflectNotification(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND child = FindReflectionTarget(parent, message, wParam, lParam);
  // a message that names the parent itself (or nothing) is not sent round again
  if (!child || child == parent || !::IsWindow(child)) return FALSE;
  result = ::SendMessageW(child, kReflectedMessageBase + message, wParam, lParam);
  return TRUE;
}

bool IsReflectedMessage(UINT message) {
  if (message < kReflectedMessageBase) return false;
  switch (message - kReflectedMessageBase) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_PARENTNOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

BOOL DefaultReflectionHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (!IsReflectedMessage(message)) return FALSE;
  result = ::DefWindowProcW(window, message - kReflectedMessageBase, wParam, lParam);
  return TRUE;
}
