// The message loop's filters and idle rules, and the module's loop map.
#include "framework/message_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::vector<std::string> events;

class LoggingLoop : public CMessageLoop {
 public:
  BOOL OnIdle(int idleCount) override {
    events.push_back("idle " + std::to_string(idleCount));
    return CMessageLoop::OnIdle(idleCount);
  }
};

class NamedFilter : public CMessageFilter {
 public:
  NamedFilter(std::string name, bool consume) : name_(std::move(name)), consume_(consume) {}
  BOOL PreTranslateMessage(MSG* message) override {
    if (message->message == WM_APP) events.push_back(name_);
    return consume_ && message->message == WM_APP;
  }

 private:
  std::string name_;
  bool consume_;
};

// Logs the thread messages the loop takes.
class ThreadMessageLog : public CMessageFilter {
 public:
  BOOL PreTranslateMessage(MSG* message) override {
    if (message->hwnd == nullptr && message->message != WM_APP) {
      events.push_back("message " + std::to_string(message->message));
    }
    return FALSE;
  }
};

// Plays the loop's idle side: first a mouse move followed, later and from
// another thread, by WM_USER; then one more idle call wanted; then WM_QUIT.
class ScriptedIdle : public CIdleHandler {
 public:
  ~ScriptedIdle() override {
    if (poster_.joinable()) poster_.join();
  }
  BOOL OnIdle() override {
    switch (calls_++) {
      case 0: {
        DWORD loopThread = ::GetCurrentThreadId();
        ::PostThreadMessageW(loopThread, WM_MOUSEMOVE, 0, 0);
        poster_ = std::thread([loopThread] {
          ::Sleep(200);
          ::PostThreadMessageW(loopThread, WM_USER, 0, 0);
        });
        return FALSE;
      }
      case 1:
        return TRUE;
      case 2:
        ::PostQuitMessage(70000);
        return FALSE;
      default:
        return FALSE;
    }
  }

 private:
  int calls_ = 0;
  std::thread poster_;
};

TEST(MessageLoop, FiltersAreAskedNewestFirstAndAConsumerStopsTheRest) {
  events.clear();
  CMessageLoop loop;
  NamedFilter older("older", false);
  NamedFilter newer("newer", true);
  loop.AddMessageFilter(&older);
  loop.AddMessageFilter(&newer);
  MSG message{nullptr, WM_APP, 0, 0, 0, {}};
  EXPECT_TRUE(loop.PreTranslateMessage(&message));
  EXPECT_EQ(events, std::vector<std::string>{"newer"});
  events.clear();
  loop.RemoveMessageFilter(&newer);
  EXPECT_FALSE(loop.PreTranslateMessage(&message));
  EXPECT_EQ(events, std::vector<std::string>{"older"});
  EXPECT_FALSE(loop.RemoveMessageFilter(&newer));
  EXPECT_FALSE(loop.AddMessageFilter(&older));
}

TEST(MessageLoop, IdlePhasesRunUntilNoMoreWorkAndRestartOnlyAfterIdleMessages) {
  events.clear();
  LoggingLoop loop;
  ScriptedIdle idle;
  ThreadMessageLog log;
  loop.AddIdleHandler(&idle);
  loop.AddMessageFilter(&log);
  EXPECT_EQ(loop.Run(), 70000);
  const std::vector<std::string> expected = {
      "idle 0",                  // the loop starts with an idle phase,
      "message 512",             // a mouse move leaves idle processing off while the queue is empty,
      "message 1024",            // another message makes it due again, counting from 0,
      "idle 0",       "idle 1",  // and a handler that wants more is called again
  };
  EXPECT_EQ(events, expected);
}

TEST(MessageLoop, OnlyMouseMovesPaintsAndTheCaretTimerLeaveIdleAlone) {
  struct Case {
    UINT message;
    BOOL idle;
  } cases[] = {{WM_MOUSEMOVE, FALSE}, {WM_NCMOUSEMOVE, FALSE}, {WM_PAINT, FALSE}, {0x0118, FALSE},
               {WM_TIMER, TRUE},      {WM_KEYDOWN, TRUE},      {WM_USER, TRUE},   {WM_LBUTTONDOWN, TRUE}};
  for (const auto& c : cases) {
    MSG message{nullptr, c.message, 0, 0, 0, {}};
    EXPECT_EQ(CMessageLoop::IsIdleMessage(&message), c.idle) << c.message;
  }
}

TEST(MessageLoop, AFilterThatRemovesItselfDoesNotDisturbTheOthers) {
  events.clear();
  CMessageLoop loop;
  NamedFilter older("older", false);
  struct SelfRemoving : CMessageFilter {
    CMessageLoop* loop = nullptr;
    BOOL PreTranslateMessage(MSG*) override {
      events.push_back("self");
      loop->RemoveMessageFilter(this);
      return FALSE;
    }
  } self;
  self.loop = &loop;
  loop.AddMessageFilter(&older);
  loop.AddMessageFilter(&self);
  MSG message{nullptr, WM_APP, 0, 0, 0, {}};
  loop.PreTranslateMessage(&message);
  loop.PreTranslateMessage(&message);
  EXPECT_EQ(events, (std::vector<std::string>{"self", "older", "older"}));
}

TEST(AppModule, MapsEachThreadToItsOwnLoop) {
  CAppModule module;
  CMessageLoop mainLoop;
  CMessageLoop otherLoop;
  EXPECT_FALSE(module.AddMessageLoop(&mainLoop));  // no map before Init
  ASSERT_EQ(module.Init(nullptr), S_OK);
  EXPECT_EQ(module.MainThreadId(), ::GetCurrentThreadId());
  EXPECT_TRUE(module.AddMessageLoop(&mainLoop));
  EXPECT_FALSE(module.AddMessageLoop(&otherLoop));  // one loop per thread
  DWORD otherThread = 0;
  std::thread worker([&] {
    otherThread = ::GetCurrentThreadId();
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
    EXPECT_TRUE(module.AddMessageLoop(&otherLoop));
    EXPECT_EQ(module.GetMessageLoop(), &otherLoop);
  });
  worker.join();
  EXPECT_EQ(module.GetMessageLoop(), &mainLoop);
  EXPECT_EQ(module.GetMessageLoop(otherThread), &otherLoop);
  EXPECT_TRUE(module.RemoveMessageLoop());
  EXPECT_EQ(module.GetMessageLoop(), nullptr);
  EXPECT_FALSE(module.RemoveMessageLoop());
  module.Term();
  EXPECT_EQ(module.GetMessageLoop(otherThread), nullptr);
}

}  // namespace
