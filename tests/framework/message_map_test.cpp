// Message maps and reflection, on real windows where a window is involved.
#include "framework/message_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/window.h"
#include "tests/framework/gui_test_support.h"

namespace {

// A map whose rows log which handler ran; some handlers decline (clear the flag).
class LoggingMap : public CMessageMap {
 public:
  std::vector<std::string> log;
  bool firstDeclines = false;
  CMessageMap* chained = nullptr;

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                            DWORD = 0) override {
    MessageDispatch<LoggingMap> d(this, window, message, wParam, lParam, result);
    return d.Message(WM_USER, &LoggingMap::First) || d.Message(WM_USER, &LoggingMap::Second) ||
           d.MessageRange(WM_USER + 10, WM_USER + 20, &LoggingMap::Range) || d.Command(1007, &LoggingMap::Command) ||
           d.Notify(1012, NM_CLICK, &LoggingMap::Notify) || (chained && d.Chain(*chained));
  }

 private:
  LRESULT First(UINT, WPARAM, LPARAM, BOOL& handled) {
    log.push_back("first");
    if (firstDeclines) handled = FALSE;
    return 11;
  }
  LRESULT Second(UINT, WPARAM, LPARAM, BOOL&) {
    log.push_back("second");
    return 22;
  }
  LRESULT Range(UINT message, WPARAM, LPARAM, BOOL&) {
    log.push_back("range " + std::to_string(message - WM_USER));
    return 33;
  }
  LRESULT Command(WORD code, WORD id, HWND, BOOL&) {
    log.push_back("command " + std::to_string(id) + " code " + std::to_string(code));
    return 44;
  }
  LRESULT Notify(int id, NMHDR*, BOOL&) {
    log.push_back("notify " + std::to_string(id));
    return 55;
  }
};

TEST(MessageMap, RowsAreTestedInOrderAndTheFirstTakerAnswers) {
  LoggingMap map;
  LRESULT result = -1;
  EXPECT_TRUE(map.ProcessWindowMessage(nullptr, WM_USER, 0, 0, result));
  EXPECT_EQ(result, 11);
  EXPECT_EQ(map.log, std::vector<std::string>{"first"});
}

TEST(MessageMap, AHandlerThatClearsTheFlagLetsTheNextRowAnswer) {
  LoggingMap map;
  map.firstDeclines = true;
  LRESULT result = -1;
  EXPECT_TRUE(map.ProcessWindowMessage(nullptr, WM_USER, 0, 0, result));
  EXPECT_EQ(result, 22);
  EXPECT_EQ(map.log, (std::vector<std::string>{"first", "second"}));
}

TEST(MessageMap, CommandsMatchTheLowWordWhateverTheNotificationCode) {
  for (WORD code : {WORD{BN_CLICKED}, WORD{BN_DOUBLECLICKED}, WORD{0x1234}}) {
    LoggingMap map;
    LRESULT result = -1;
    EXPECT_TRUE(map.ProcessWindowMessage(nullptr, WM_COMMAND, MAKEWPARAM(1007, code), 0, result));
    EXPECT_EQ(result, 44);
    EXPECT_EQ(map.log, std::vector<std::string>{"command 1007 code " + std::to_string(code)});
  }
  LoggingMap map;
  LRESULT result = -1;
  EXPECT_FALSE(map.ProcessWindowMessage(nullptr, WM_COMMAND, MAKEWPARAM(1008, 0), 0, result));
}

TEST(MessageMap, NotifyRowsMatchSenderIdAndCode) {
  struct Case {
    UINT_PTR id;
    UINT code;
    bool taken;
  } cases[] = {{1012, NM_CLICK, true}, {1012, NM_CUSTOMDRAW, false}, {1013, NM_CLICK, false}};
  for (const auto& c : cases) {
    LoggingMap map;
    NMHDR header{nullptr, c.id, c.code};
    LRESULT result = -1;
    EXPECT_EQ(map.ProcessWindowMessage(nullptr, WM_NOTIFY, c.id, reinterpret_cast<LPARAM>(&header), result) != 0,
              c.taken)
        << c.id << " " << c.code;
  }
}

TEST(MessageMap, RangesAndChainsTakeWhatTheOwnRowsLeave) {
  LoggingMap inner;
  LoggingMap outer;
  outer.chained = &inner;
  LRESULT result = -1;
  EXPECT_TRUE(outer.ProcessWindowMessage(nullptr, WM_USER + 15, 0, 0, result));
  EXPECT_EQ(outer.log, std::vector<std::string>{"range 15"});
  EXPECT_TRUE(inner.log.empty());
  EXPECT_FALSE(outer.ProcessWindowMessage(nullptr, WM_USER + 30, 0, 0, result));
}

// A child that records the messages that reach it and answers reflected ones.
class RecordingChild : public CWindowImpl {
 public:
  std::vector<UINT> received;
  BOOL ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result, DWORD) override {
    if (message >= kReflectedMessageBase && message < kReflectedMessageBase + 0x400) {
      received.push_back(message);
      result = 0x5A5A;
      return TRUE;
    }
    return FALSE;
  }

 protected:
  WindowClassSpec GetWindowClassSpec() const override {
    WindowClassSpec classSpec;
    classSpec.className = L"QuorviTestRecordingChild";
    return classSpec;
  }
};

class Reflection : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog.Open(300, 200));
    RECT a{0, 0, 50, 20};
    RECT b{0, 30, 50, 50};
    ASSERT_TRUE(first.Create(dialog.m_hWnd, &a, L"", WS_CHILD | WS_VISIBLE, 0, 501));
    ASSERT_TRUE(second.Create(dialog.m_hWnd, &b, L"", WS_CHILD | WS_VISIBLE, 0, 502));
    // each creation was announced to the dialog and reflected to the new child
    EXPECT_EQ(second.received, std::vector<UINT>{kReflectedMessageBase + WM_PARENTNOTIFY});
  }
  void TearDown() override {
    first.DestroyWindow();
    second.DestroyWindow();
    dialog.DestroyWindow();
  }
  test::TestDialog dialog;
  RecordingChild first;
  RecordingChild second;
};

TEST_F(Reflection, ControlMessagesGoBackToTheChildTheyConcern) {
  NMHDR header{second.m_hWnd, 502, static_cast<UINT>(NM_CLICK)};
  DRAWITEMSTRUCT draw{};
  draw.hwndItem = first.m_hWnd;
  MEASUREITEMSTRUCT measure{};
  measure.CtlID = 502;
  DELETEITEMSTRUCT deleted{};
  deleted.hwndItem = second.m_hWnd;
  COMPAREITEMSTRUCT compare{};
  compare.hwndItem = first.m_hWnd;
  auto handle = [](RecordingChild& c) { return reinterpret_cast<LPARAM>(c.m_hWnd); };
  struct Case {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    RecordingChild* target;
  } cases[] = {
      {"command from a control", WM_COMMAND, MAKEWPARAM(501, BN_CLICKED), handle(first), &first},
      {"notify names its sender", WM_NOTIFY, 502, reinterpret_cast<LPARAM>(&header), &second},
      {"draw item", WM_DRAWITEM, 501, reinterpret_cast<LPARAM>(&draw), &first},
      {"measure item by id", WM_MEASUREITEM, 502, reinterpret_cast<LPARAM>(&measure), &second},
      {"delete item", WM_DELETEITEM, 502, reinterpret_cast<LPARAM>(&deleted), &second},
      {"compare item", WM_COMPAREITEM, 501, reinterpret_cast<LPARAM>(&compare), &first},
      {"static colours", WM_CTLCOLORSTATIC, 0, handle(second), &second},
      {"edit colours", WM_CTLCOLOREDIT, 0, handle(first), &first},
      {"scrolling", WM_HSCROLL, 0, handle(first), &first},
      {"parent notify on creation", WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, 502), handle(second), &second},
      {"parent notify on a click names the child by id", WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 501),
       MAKELPARAM(3, 3), &first},
  };
  for (const auto& c : cases) {
    first.received.clear();
    second.received.clear();
    LRESULT answer = ::SendMessageW(dialog.m_hWnd, c.message, c.wParam, c.lParam);
    RecordingChild* other = c.target == &first ? &second : &first;
    EXPECT_EQ(c.target->received, std::vector<UINT>{kReflectedMessageBase + c.message}) << c.name;
    EXPECT_TRUE(other->received.empty()) << c.name;
    if (c.message == WM_CTLCOLORSTATIC || c.message == WM_CTLCOLOREDIT || c.message == WM_COMPAREITEM) {
      EXPECT_EQ(answer, 0x5A5A) << c.name;
    } else {
      EXPECT_EQ(::GetWindowLongPtrW(dialog.m_hWnd, DWLP_MSGRESULT), 0x5A5A) << c.name;
    }
  }
}

TEST_F(Reflection, MessagesWithoutAControlAreNotReflected) {
  DRAWITEMSTRUCT menuDraw{};
  menuDraw.hwndItem = first.m_hWnd;
  struct Case {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } cases[] = {
      {"menu command", WM_COMMAND, MAKEWPARAM(501, 0), 0},
      {"menu draw item", WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&menuDraw)},
      {"other message", WM_USER + 5, 0, reinterpret_cast<LPARAM>(first.m_hWnd)},
  };
  first.received.clear();
  for (const auto& c : cases) {
    LRESULT result = 0;
    EXPECT_FALSE(ReflectNotification(dialog.m_hWnd, c.message, c.wParam, c.lParam, result)) << c.name;
    EXPECT_TRUE(first.received.empty()) << c.name;
  }
}

TEST(DefaultReflection, AReflectedMessageGetsTheDefaultHandlingOfTheOriginal) {
  LRESULT result = 1;
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);
  EXPECT_TRUE(DefaultReflectionHandler(window, kReflectedNotify, 0, 0, result));
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(DefaultReflectionHandler(window, WM_NOTIFY, 0, 0, result));
  EXPECT_FALSE(DefaultReflectionHandler(window, kReflectedMessageBase + WM_USER, 0, 0, result));
  ::DestroyWindow(window);
}

}  // namespace
