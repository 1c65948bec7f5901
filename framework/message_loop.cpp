#include "framework/message_loop.h"

#include <algorithm>

namespace {

constexpr UINT kSystemTimer = 0x0118;  // the caret-blink timer

template <typename T>
BOOL AddUnique(std::vector<T*>& list, T* item) {
  if (!item || std::find(list.begin(), list.end(), item) != list.end()) return FALSE;
  list.push_back(item);
  return TRUE;
}

template <typename T>
BOOL RemoveOne(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return FALSE;
  list.erase(it);
  return TRUE;
}

template <typename T>
bool Contains(const std::vector<T*>& list, T* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* filter) {
  return AddUnique(filters_, filter);
}
BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
  return RemoveOne(filters_, filter);
}
BOOL CMessageLoop::AddIdleHandler(CIdleHandler* handler) {
  return AddUnique(idleHandlers_, handler);
}
BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) {
  return RemoveOne(idleHandlers_, handler);
}

BOOL CMessageLoop::PreTranslateMessage(MSG* message) {
  // a filter may remove itself or others while it runs: walk a copy, skip the removed
  const std::vector<CMessageFilter*> snapshot = filters_;
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    if (Contains(filters_, *it) && (*it)->PreTranslateMessage(message)) return TRUE;
  }
  return FALSE;
}

BOOL CMessageLoop::OnIdle(int) {
  const std::vector<CIdleHandler*> snapshot = idleHandlers_;
  BOOL more = FALSE;
  for (CIdleHandler* handler : snapshot) {
    if (Contains(idleHandlers_, handler) && handler->OnIdle()) more = TRUE;
  }
  return more;
}

BOOL CMessageLoop::IsIdleMessage(const MSG* message) {
  switch (message->message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kSystemTimer:
      return FALSE;
    default:
      return TRUE;
  }
}

int CMessageLoop::Run() {
  bool idleDue = true;
  int idleCount = 0;
  for (;;) {
    while (idleDue && !::PeekMessageW(&m_msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(idleCount++)) idleDue = false;
    }
    BOOL got = ::GetMessageW(&m_msg, nullptr, 0, 0);
    if (got == -1) continue;
    if (!got) break;
    if (!PreTranslateMessage(&m_msg)) {
      ::TranslateMessage(&m_msg);
      ::DispatchMessageW(&m_msg);
    }
    if (IsIdleMessage(&m_msg)) {
      idleDue = true;
      idleCount = 0;
    }
  }
  return static_cast<int>(m_msg.wParam);
}

HRESULT CAppModule::Init(HINSTANCE instance) {
  std::lock_guard guard(lock_);
  instance_ = instance ? instance : ::GetModuleHandleW(nullptr);
  mainThreadId_ = ::GetCurrentThreadId();
  loops_ = std::make_unique<std::map<DWORD, CMessageLoop*>>();
  return S_OK;
}

void CAppModule::Term() {
  std::lock_guard guard(lock_);
  loops_.reset();
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop) {
  std::lock_guard guard(lock_);
  if (!loops_ || !loop) return FALSE;
  return loops_->emplace(::GetCurrentThreadId(), loop).second ? TRUE : FALSE;
}

BOOL CAppModule::RemoveMessageLoop() {
  std::lock_guard guard(lock_);
  if (!loops_) return FALSE;
  return loops_->erase(::GetCurrentThreadId()) ? TRUE : FALSE;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) {
  std::lock_guard guard(lock_);
  if (!loops_) return nullptr;
  auto it = loops_->find(threadId);
  return it == loops_->end() ? nullptr : it->second;
}

CAppModule& AppModule() {
  static CAppModule module;
  return module;
}
