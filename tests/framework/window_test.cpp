// Dialogs and window objects: binding, answers through the dialog procedure,
// superclassing and subclassing, and the end of a window's life.
#include "framework/window.h"

#include <gtest/gtest.h>

#include "framework/dialog.h"
#include "tests/framework/gui_test_support.h"

namespace {

class ProbeDialog : public CDialogImpl {
 public:
  int initCount = 0;
  LPARAM initParam = 0;
  int finalCount = 0;
  bool sawFontBeforeInit = false;

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD) override {
    MessageDispatch<ProbeDialog> d(this, window, message, wParam, lParam, result);
    return d.Message(WM_SETFONT, &ProbeDialog::OnSetFont) || d.Message(WM_INITDIALOG, &ProbeDialog::OnInit) ||
           d.Message(WM_NCHITTEST, &ProbeDialog::OnHitTest) || d.Message(WM_CTLCOLORSTATIC, &ProbeDialog::OnColor) ||
           d.Command(IDCANCEL, &ProbeDialog::OnCancel);
  }
  void OnFinalMessage(HWND) override { ++finalCount; }

 private:
  LRESULT OnSetFont(UINT, WPARAM, LPARAM, BOOL& handled) {
    if (initCount == 0) sawFontBeforeInit = true;
    handled = FALSE;
    return 0;
  }
  LRESULT OnInit(UINT, WPARAM, LPARAM lParam, BOOL&) {
    ++initCount;
    initParam = lParam;
    return TRUE;
  }
  LRESULT OnHitTest(UINT, WPARAM, LPARAM, BOOL&) { return HTCAPTION; }
  LRESULT OnColor(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(::GetStockObject(HOLLOW_BRUSH)); }
  LRESULT OnCancel(WORD, WORD, HWND, BOOL&) { return 0; }
};

TEST(Dialog, IsBoundBeforeItsFirstMessageAndInitialisedOnce) {
  ProbeDialog dialog;
  ASSERT_TRUE(dialog.Create(nullptr, IDD_MAIN, 0x1234));
  EXPECT_EQ(CDialogImpl::FromHandle(dialog.m_hWnd), &dialog);
  EXPECT_TRUE(dialog.sawFontBeforeInit);
  EXPECT_EQ(dialog.initCount, 1);
  EXPECT_EQ(dialog.initParam, 0x1234);
  // the template: a popup without caption or border, not visible at creation
  LONG_PTR style = ::GetWindowLongPtrW(dialog.m_hWnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_SYSMENU | WS_VISIBLE));
  EXPECT_EQ(::GetWindowTextLengthW(dialog.m_hWnd), 0);
  dialog.DestroyWindow();
}

TEST(Dialog, AnswersReachTheSenderThroughTheDialogProcedure) {
  ProbeDialog dialog;
  ASSERT_TRUE(dialog.Create(nullptr, IDD_MAIN));
  // an ordinary message answers through DWLP_MSGRESULT, a colour message directly
  EXPECT_EQ(::SendMessageW(dialog.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(1, 1)), HTCAPTION);
  EXPECT_EQ(::SendMessageW(dialog.m_hWnd, WM_CTLCOLORSTATIC, 0, 0),
            reinterpret_cast<LRESULT>(::GetStockObject(HOLLOW_BRUSH)));
  dialog.DestroyWindow();
}

TEST(Dialog, FinalMessageComesOnceAndUnbinds) {
  ProbeDialog dialog;
  ASSERT_TRUE(dialog.Create(nullptr, IDD_MAIN));
  HWND window = dialog.m_hWnd;
  EXPECT_TRUE(dialog.DestroyWindow());
  EXPECT_EQ(dialog.finalCount, 1);
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_FALSE(dialog.DestroyWindow());
}

TEST(Dialog, AMissingTemplateGivesNoWindow) {
  ProbeDialog dialog;
  EXPECT_EQ(dialog.Create(nullptr, 4321), nullptr);
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  EXPECT_EQ(dialog.initCount, 0);
}

TEST(Dialog, DestroyingTheObjectDestroysItsWindow) {
  HWND window = nullptr;
  {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr, IDD_MAIN));
    window = dialog.m_hWnd;
  }
  EXPECT_FALSE(::IsWindow(window));
}

// A superclassed system button whose map sees clicks before the button does.
class CountingButton : public CWindowImpl {
 public:
  int downs = 0;
  BOOL ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT&, DWORD) override {
    if (message == WM_LBUTTONDOWN) ++downs;
    return FALSE;
  }

 protected:
  WindowClassSpec GetWindowClassSpec() const override {
    WindowClassSpec classSpec;
    classSpec.className = L"QuorviTestCountingButton";
    classSpec.baseClassName = L"BUTTON";
    return classSpec;
  }
};

TEST(Superclass, KeepsTheSystemControlsBehaviourAndSeesItsMessagesFirst) {
  test::TestDialog parent;
  ASSERT_TRUE(parent.Open(200, 100));
  CountingButton button;
  RECT rect{10, 10, 90, 40};
  ASSERT_TRUE(button.Create(parent.m_hWnd, &rect, L"ok", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 77));
  EXPECT_EQ(CWindowImpl::FromHandle(button.m_hWnd), &button);
  EXPECT_EQ(::GetDlgCtrlID(button.m_hWnd), 77);
  // the button's own processing still runs: a click checks the auto check box
  ::SendMessageW(button.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(button.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(button.downs, 1);
  EXPECT_EQ(::SendMessageW(button.m_hWnd, BM_GETCHECK, 0, 0), BST_CHECKED);
  WCHAR name[64]{};
  ::GetClassNameW(button.m_hWnd, name, 64);
  EXPECT_STREQ(name, L"QuorviTestCountingButton");
  button.DestroyWindow();
  EXPECT_EQ(button.m_hWnd, nullptr);
  parent.DestroyWindow();
}

TEST(Subclass, BindsAnExistingWindowAndGivesItsProcedureBack) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"text", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);
  auto original = ::GetWindowLongPtrW(window, GWLP_WNDPROC);
  CountingButton spy;
  ASSERT_TRUE(spy.SubclassWindow(window));
  EXPECT_NE(::GetWindowLongPtrW(window, GWLP_WNDPROC), original);
  ::SendMessageW(window, WM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(spy.downs, 1);
  // one object per window
  CountingButton second;
  EXPECT_FALSE(second.SubclassWindow(window));
  EXPECT_EQ(spy.UnsubclassWindow(), window);
  EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_WNDPROC), original);
  EXPECT_EQ(CWindowImpl::FromHandle(window), nullptr);
  ::SendMessageW(window, WM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(spy.downs, 1);
  ::DestroyWindow(window);
}

}  // namespace
