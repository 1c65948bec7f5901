#include "framework/window.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace {

constexpr wchar_t kObjectProperty[] = L"Quorvi.WindowObject";

// The object whose window is being created on this thread: it is bound on the
// first message the new window receives, before WM_NCCREATE returns.
thread_local CWindowImpl* creatingWindow = nullptr;

std::mutex classLock;
std::map<std::wstring, WNDPROC>& RegisteredClasses() {
  static std::map<std::wstring, WNDPROC> classes;
  return classes;
}

// Registers the class once per process; returns its original window procedure
// (DefWindowProcW for our own classes), or null when registration failed.
WNDPROC RegisterOnce(const WindowClassSpec& classSpec, WNDPROC ourProc) {
  std::lock_guard lock(classLock);
  auto& classes = RegisteredClasses();
  if (auto it = classes.find(classSpec.className); it != classes.end()) return it->second;
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{sizeof(wc)};
  WNDPROC baseProc = ::DefWindowProcW;
  if (classSpec.baseClassName) {
    if (!::GetClassInfoExW(nullptr, classSpec.baseClassName, &wc)) return nullptr;
    baseProc = wc.lpfnWndProc;
    // a global system class would leak into other processes' view of the name
    wc.style &= ~CS_GLOBALCLASS;
  } else {
    wc.style = classSpec.style;
    wc.hbrBackground = classSpec.background;
    wc.hCursor = classSpec.cursor ? ::LoadCursorW(nullptr, classSpec.cursor) : nullptr;
  }
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ourProc;
  wc.hInstance = module;
  wc.lpszClassName = classSpec.className;
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
  classes.emplace(classSpec.className, baseProc);
  return baseProc;
}

}  // namespace

CWindowImpl::~CWindowImpl() {
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    if (subclassed_) {
      UnsubclassWindow();
    } else {
      // the window must not call back into a destroyed object
      HWND window = m_hWnd;
      ::RemovePropW(window, kObjectProperty);
      m_hWnd = nullptr;
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
      ::DestroyWindow(window);
    }
  }
}

WindowClassSpec CWindowImpl::GetWindowClassSpec() const {
  return {};
}

CWindowImpl* CWindowImpl::FromHandle(HWND window) {
  return static_cast<CWindowImpl*>(::GetPropW(window, kObjectProperty));
}

HWND CWindowImpl::Create(HWND parent, const RECT* rect, const wchar_t* text, DWORD style, DWORD exStyle, UINT id) {
  if (m_hWnd) return nullptr;
  WindowClassSpec classSpec = GetWindowClassSpec();
  if (!classSpec.className) return nullptr;
  WNDPROC base = RegisterOnce(classSpec, &CWindowImpl::WindowProc);
  if (!base) return nullptr;
  superProc_ = base;
  RECT r = rect ? *rect : RECT{0, 0, 0, 0};
  CWindowImpl* outer = creatingWindow;
  creatingWindow = this;
  HWND window = ::CreateWindowExW(exStyle, classSpec.className, text ? text : L"", style, r.left, r.top, r.right - r.left,
                                  r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), nullptr);
  creatingWindow = outer;
  return window;
}

void CWindowImpl::Attach(HWND window, WNDPROC superProc) {
  m_hWnd = window;
  superProc_ = superProc;
  ::SetPropW(window, kObjectProperty, this);
}

BOOL CWindowImpl::SubclassWindow(HWND window) {
  if (m_hWnd || !::IsWindow(window) || FromHandle(window)) return FALSE;
  auto previous = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindowImpl::WindowProc)));
  if (!previous) return FALSE;
  Attach(window, previous);
  subclassed_ = true;
  return TRUE;
}

HWND CWindowImpl::UnsubclassWindow() {
  if (!m_hWnd || !subclassed_) return nullptr;
  HWND window = m_hWnd;
  auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
  // someone subclassed it after us; taking our procedure out would cut them off
  if (current != &CWindowImpl::WindowProc) return nullptr;
  ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
  ::RemovePropW(window, kObjectProperty);
  m_hWnd = nullptr;
  subclassed_ = false;
  return window;
}

BOOL CWindowImpl::DestroyWindow() {
  return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

LRESULT CWindowImpl::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::CallWindowProcW(superProc_, m_hWnd, message, wParam, lParam);
}

LRESULT CWindowImpl::DefWindowProc() {
  if (!currentMessage_) return 0;
  return DefWindowProc(currentMessage_->message, currentMessage_->wParam, currentMessage_->lParam);
}

void CWindowImpl::OnFinalMessage(HWND) {}

LRESULT CALLBACK CWindowImpl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWindowImpl* self = FromHandle(window);
  if (!self) {
    self = creatingWindow;
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    creatingWindow = nullptr;
    self->Attach(window, self->superProc_);
  }
  MSG current{window, message, wParam, lParam, 0, {}};
  const MSG* outer = std::exchange(self->currentMessage_, &current);
  LRESULT result = 0;
  BOOL handled = self->ProcessWindowMessage(window, message, wParam, lParam, result, 0);
  self->currentMessage_ = outer;
  if (message == WM_NCDESTROY) {
    if (!handled) result = self->DefWindowProc(message, wParam, lParam);
    // the window is gone: unbind before the object may delete itself
    WNDPROC super = self->superProc_;
    if (self->subclassed_ &&
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC)) == &CWindowImpl::WindowProc) {
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super));
    }
    ::RemovePropW(window, kObjectProperty);
    self->m_hWnd = nullptr;
    self->subclassed_ = false;
    self->OnFinalMessage(window);
    return result;
  }
  if (!handled) result = self->DefWindowProc(message, wParam, lParam);
  return result;
}
