// CHyperLink on a real static control, driven with real mouse and keyboard input.
#include "framework/hyperlink.h"

#include <gtest/gtest.h>

#include "tests/framework/gui_test_support.h"

namespace {

class HyperLink : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.hollowStatics = true;
    ASSERT_TRUE(dialog.Open(300, 120));
    host = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 20, 20, 150, 40, dialog.m_hWnd,
                             reinterpret_cast<HMENU>(1012), nullptr, nullptr);
    ASSERT_TRUE(host);
    ASSERT_TRUE(link.SubclassWindow(host));
    link.SetHyperLinkExtendedStyle(HLINK_NOTIFYBUTTON);
    link.SetLabel(L"《用户协议》");
    test::Repaint(dialog.m_hWnd);
    text = link.GetTextRect();
    dialog.notifications.clear();
  }
  void TearDown() override {
    test::MoveMouseTo(dialog.m_hWnd, 280, 110);
    dialog.DestroyWindow();
  }
  // a point of the link in dialog coordinates
  POINT InText() const { return {20 + (text.left + text.right) / 2, 20 + (text.top + text.bottom) / 2}; }

  test::TestDialog dialog;
  CHyperLink link;
  HWND host = nullptr;
  RECT text{};
};

TEST_F(HyperLink, AttachingMakesAClickableLabel) {
  EXPECT_TRUE(::GetWindowLongPtrW(host, GWL_STYLE) & SS_NOTIFY);
  WCHAR caption[32]{};
  ::GetWindowTextW(host, caption, 32);
  EXPECT_STREQ(caption, L"《用户协议》");
  // the text is measured inside the host, from its top-left corner
  EXPECT_EQ(text.left, 0);
  EXPECT_EQ(text.top, 0);
  EXPECT_GT(text.right, 20);
  EXPECT_LT(text.right, 150);
  EXPECT_GT(text.bottom, 5);
}

TEST_F(HyperLink, IsBlueUnderlinedTextOverTheParentsPicture) {
  int blue = 0;
  for (int y = text.top; y < text.bottom; ++y) {
    for (int x = text.left; x < text.right; ++x) {
      if (test::ReadPixel(dialog.m_hWnd, 20 + x, 20 + y) == RGB(0, 0, 255)) ++blue;
    }
  }
  // the underline alone is a full row of blue
  EXPECT_GE(blue, text.right - text.left);
  // outside the text the parent's background shows through the hollow brush
  EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 20 + 148, 20 + 38), dialog.BackgroundAt(0, 0));
}

TEST_F(HyperLink, AClickInsideTheTextNotifiesTheParentOnce) {
  POINT p = InText();
  test::ClickAt(dialog.m_hWnd, p.x, p.y);
  ASSERT_EQ(dialog.notifications.size(), 1u);
  EXPECT_EQ(dialog.notifications[0].hwndFrom, host);
  EXPECT_EQ(dialog.notifications[0].idFrom, 1012u);
  EXPECT_EQ(dialog.notifications[0].code, static_cast<UINT>(NM_CLICK));
  EXPECT_EQ(::GetFocus(), host);
  test::Pump(600);  // past the double-click time
  test::ClickAt(dialog.m_hWnd, p.x, p.y);
  EXPECT_EQ(dialog.notifications.size(), 2u);
  // notify mode has no visited look: once the focus rectangle is gone the
  // underline is a full row of pure blue again
  ::SetFocus(nullptr);
  test::Pump(50);
  ASSERT_NE(::GetFocus(), host);
  int blue = 0;
  for (int x = text.left; x < text.right; ++x) {
    for (int y = text.top; y < text.bottom; ++y)
      blue += test::ReadPixel(dialog.m_hWnd, 20 + x, 20 + y) == RGB(0, 0, 255);
  }
  EXPECT_GE(blue, text.right - text.left);
}

TEST_F(HyperLink, PressInsideAndReleaseOutsideSendsNothing) {
  POINT p = InText();
  test::MoveMouseTo(dialog.m_hWnd, p.x, p.y);
  test::MouseButton(true);
  test::Pump(30);
  test::MoveMouseTo(dialog.m_hWnd, 250, 100);
  test::MouseButton(false);
  test::Pump(30);
  EXPECT_TRUE(dialog.notifications.empty());
  EXPECT_NE(::GetCapture(), host);
}

TEST_F(HyperLink, AClickOnTheHostOutsideTheTextDoesNothing) {
  test::ClickAt(dialog.m_hWnd, 20 + 148, 20 + 38);
  EXPECT_TRUE(dialog.notifications.empty());
}

TEST_F(HyperLink, SpaceAndEnterActivateTheFocusedLink) {
  ::SetFocus(host);
  ASSERT_EQ(::GetFocus(), host);
  for (WORD key : {WORD{VK_SPACE}, WORD{VK_RETURN}}) {
    dialog.notifications.clear();
    test::TypeKey(key);
    test::Pump(50);
    ASSERT_EQ(dialog.notifications.size(), 1u) << key;
    EXPECT_EQ(dialog.notifications[0].code, static_cast<UINT>(NM_CLICK));
  }
  dialog.notifications.clear();
  test::TypeKey('A');
  test::Pump(50);
  EXPECT_TRUE(dialog.notifications.empty());
}

}  // namespace
