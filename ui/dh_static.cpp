#include "ui/dh_static.h"

#include "app/window_messages.h"

WindowClassSpec DhStatic::GetWindowClassSpec() const {
  WindowClassSpec classSpec;
  classSpec.className = L"QuorviDhStatic";
  classSpec.baseClassName = L"STATIC";
  return classSpec;
}

LRESULT DhStatic::OnButtonDown(UINT, WPARAM, LPARAM, BOOL&) {
  // the second press of a double-click arrives as WM_LBUTTONDBLCLK and toggles nothing
  ::SendMessageW(::GetParent(m_hWnd), UM_TOGGLE_CHECK, static_cast<WPARAM>(checkIndex), 0);
  return 0;
}

BOOL DhStatic::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD) {
  MessageDispatch<DhStatic> d(this, window, message, wParam, lParam, result);
  return d.Message(WM_LBUTTONDOWN, &DhStatic::OnButtonDown) || d.DefaultReflection();
}
