// The thread's message loop with message filters and idle handlers, and the
// application module that maps each thread to its loop.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

class CMessageFilter {
 public:
  virtual ~CMessageFilter() = default;
  // TRUE when the filter consumed the message (it is then not dispatched).
  virtual BOOL PreTranslateMessage(MSG* message) = 0;
};

class CIdleHandler {
 public:
  virtual ~CIdleHandler() = default;
  // Called when the queue is empty; TRUE asks to be called again.
  virtual BOOL OnIdle() = 0;
};

class CMessageLoop {
 public:
  CMessageLoop() = default;
  virtual ~CMessageLoop() = default;
  CMessageLoop(const CMessageLoop&) = delete;
  CMessageLoop& operator=(const CMessageLoop&) = delete;

  BOOL AddMessageFilter(CMessageFilter* filter);
  BOOL RemoveMessageFilter(CMessageFilter* filter);
  BOOL AddIdleHandler(CIdleHandler* handler);
  BOOL RemoveIdleHandler(CIdleHandler* handler);

  // Runs until WM_QUIT and returns its wParam.
  int Run();

  // Offers the message to the filters, newest first.
  virtual BOOL PreTranslateMessage(MSG* message);
  // Calls every idle handler; TRUE when any of them wants more idle calls.
  virtual BOOL OnIdle(int idleCount);
  // Whether a message makes idle processing due again (mouse moves, paints and
  // the caret-blink timer do not).
  static BOOL IsIdleMessage(const MSG* message);

  // The last message retrieved.
  MSG m_msg{};

 private:
  std::vector<CMessageFilter*> filters_;
  std::vector<CIdleHandler*> idleHandlers_;
};

class CAppModule {
 public:
  // Records the main thread and creates the empty thread -> loop map.
  HRESULT Init(HINSTANCE instance);
  // Frees the map.
  void Term();

  // Registers the loop for the calling thread; FALSE when the thread has one already.
  BOOL AddMessageLoop(CMessageLoop* loop);
  // Unregisters the calling thread's loop.
  BOOL RemoveMessageLoop();
  // The loop registered for a thread (the calling one by default), or null.
  CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

  HINSTANCE GetModuleInstance() const { return instance_; }
  HINSTANCE GetResourceInstance() const { return instance_; }
  DWORD MainThreadId() const { return mainThreadId_; }

 private:
  std::mutex lock_;
  std::unique_ptr<std::map<DWORD, CMessageLoop*>> loops_;
  HINSTANCE instance_ = nullptr;
  DWORD mainThreadId_ = 0;
};

// The program's one application module.
CAppModule& AppModule();

// Registers a loop with the module for the calling thread for its lifetime.
class ScopedMessageLoopRegistration {
 public:
  explicit ScopedMessageLoopRegistration(CMessageLoop& loop) : registered_(AppModule().AddMessageLoop(&loop)) {}
  ~ScopedMessageLoopRegistration() { Unregister(); }
  void Unregister() {
    if (registered_) AppModule().RemoveMessageLoop();
    registered_ = FALSE;
  }
  ScopedMessageLoopRegistration(const ScopedMessageLoopRegistration&) = delete;
  ScopedMessageLoopRegistration& operator=(const ScopedMessageLoopRegistration&) = delete;
  bool registered() const { return registered_ != FALSE; }

 private:
  BOOL registered_;
};
