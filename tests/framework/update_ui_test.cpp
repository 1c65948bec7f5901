// CUpdateUI applies the states set on its table to the controls in one go.
#include "framework/update_ui.h"

#include <gtest/gtest.h>

#include "tests/framework/gui_test_support.h"

namespace {

TEST(UpdateUI, ChangesReachTheControlsOnlyWhenTheTableIsApplied) {
  test::TestDialog dialog;
  ASSERT_TRUE(dialog.Open(200, 100));
  HWND box = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 0, 20, 20, dialog.m_hWnd,
                               reinterpret_cast<HMENU>(300), nullptr, nullptr);
  HWND label = ::CreateWindowExW(0, L"STATIC", L"old", WS_CHILD | WS_VISIBLE, 0, 30, 50, 20, dialog.m_hWnd,
                                 reinterpret_cast<HMENU>(301), nullptr, nullptr);
  CUpdateUI update{300, 301};
  update.UIAddChildWindowContainer(dialog.m_hWnd);
  EXPECT_TRUE(update.UIEnable(300, FALSE));
  EXPECT_TRUE(update.UISetCheck(300, BST_CHECKED));
  EXPECT_TRUE(update.UISetText(301, L"new"));
  EXPECT_FALSE(update.UIEnable(302, FALSE));  // not in the table
  EXPECT_TRUE(::IsWindowEnabled(box));
  EXPECT_TRUE(update.UIUpdateChildWindows());
  EXPECT_FALSE(::IsWindowEnabled(box));
  EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  WCHAR text[16]{};
  ::GetWindowTextW(label, text, 16);
  EXPECT_STREQ(text, L"new");
  // applied changes are not applied again over what the user did since
  ::SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
  update.UIUpdateChildWindows();
  EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  dialog.DestroyWindow();
}

TEST(UpdateUI, AnEmptyTableUpdatesNothing) {
  CUpdateUI update;
  EXPECT_FALSE(update.UIEnable(1005, FALSE));
  EXPECT_TRUE(update.UIUpdateChildWindows());
}

}  // namespace
