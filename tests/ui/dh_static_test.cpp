// DhStatic: a press on the label toggles its check box once; double-click
// messages toggle nothing.
#include "ui/dh_static.h"

#include <gtest/gtest.h>

#include "tests/framework/gui_test_support.h"

namespace {

class Label : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.hollowStatics = true;
    ASSERT_TRUE(dialog.Open(300, 100));
    // the test dialog toggles box 1000 + index
    box = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 20, 13, 13, dialog.m_hWnd,
                            reinterpret_cast<HMENU>(1003), nullptr, nullptr);
    RECT rect{26, 19, 120, 35};
    ASSERT_TRUE(label.Create(dialog.m_hWnd, &rect, L"开机启动", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 1234));
    label.checkIndex = 3;
    test::Repaint(dialog.m_hWnd);
  }
  void TearDown() override {
    label.DestroyWindow();
    dialog.DestroyWindow();
  }
  bool Checked() const { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

  test::TestDialog dialog;
  DhStatic label;
  HWND box = nullptr;
};

TEST_F(Label, EachSeparateClickTogglesItsBoxOnce) {
  test::ClickAt(dialog.m_hWnd, 40, 27);
  EXPECT_TRUE(Checked());
  EXPECT_EQ(dialog.toggles, std::vector<WPARAM>{3});
  test::Pump(700);  // past the double-click time
  test::ClickAt(dialog.m_hWnd, 40, 27);
  EXPECT_FALSE(Checked());
  EXPECT_EQ(dialog.toggles.size(), 2u);
}

TEST_F(Label, TheSecondPressOfADoubleClickTogglesNothing) {
  test::ClickAt(dialog.m_hWnd, 40, 27);
  test::ClickAt(dialog.m_hWnd, 40, 27);
  EXPECT_EQ(dialog.toggles.size(), 1u);
  EXPECT_TRUE(Checked());
  test::Pump(700);
  ::SendMessageW(label.m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(dialog.toggles.size(), 1u);
}

TEST_F(Label, ItKeepsTheStaticsLookAndText) {
  WCHAR text[16]{};
  ::GetWindowTextW(label.m_hWnd, text, 16);
  EXPECT_STREQ(text, L"开机启动");
  // see-through: the dialog's colour shows beside the text
  EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 118, 33), dialog.BackgroundAt(0, 0));
}

}  // namespace
