// Window objects: a C++ object bound to one window, answering its messages
// through its message map. A window is either created from a class of ours
// (our own class or a superclass of a system control) or an existing window is
// subclassed. Unhandled messages go to the class's original procedure.
#pragma once
#include <windows.h>

#include "framework/message_map.h"

// How the window class of a CWindowImpl is made. With baseClassName set, the
// class is a superclass of that system class: same look and behaviour, but its
// messages pass through our map first.
struct WindowClassSpec {
  const wchar_t* className = nullptr;
  const wchar_t* baseClassName = nullptr;
  UINT style = 0;
  HBRUSH background = nullptr;
  const wchar_t* cursor = IDC_ARROW;
};

class CWindowImpl : public CMessageMap {
 public:
  CWindowImpl() = default;
  ~CWindowImpl() override;
  CWindowImpl(const CWindowImpl&) = delete;
  CWindowImpl& operator=(const CWindowImpl&) = delete;

  HWND m_hWnd = nullptr;

  // Creates the window from GetWindowClassSpec(); rect may be null (origin, zero size).
  HWND Create(HWND parent, const RECT* rect, const wchar_t* text, DWORD style, DWORD exStyle = 0, UINT id = 0);
  // Binds this object to an existing window, which keeps its class.
  BOOL SubclassWindow(HWND window);
  // Gives the window its previous procedure back; returns it, or null if it was not ours.
  HWND UnsubclassWindow();
  BOOL DestroyWindow();

  // The original procedure's answer to a message, or to the message being handled.
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefWindowProc();

  // Called once the window is gone (after WM_NCDESTROY); the object may delete itself here.
  virtual void OnFinalMessage(HWND window);

  // The object bound to a window by CWindowImpl, or null.
  static CWindowImpl* FromHandle(HWND window);

 protected:
  virtual WindowClassSpec GetWindowClassSpec() const;
  const MSG* CurrentMessage() const { return currentMessage_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Attach(HWND window, WNDPROC superProc);

  WNDPROC superProc_ = ::DefWindowProcW;
  bool subclassed_ = false;
  const MSG* currentMessage_ = nullptr;
};
