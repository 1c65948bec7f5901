// CCustomButton on a real dialog: which pre-rendered picture each state shows,
// read back from the screen, and the rules for size, font and caption changes.
#include "ui/custom_button.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "tests/framework/gui_test_support.h"

namespace {

constexpr COLORREF kSlice0 = RGB(0x32, 0x9E, 0xD9);  // install strip
constexpr COLORREF kSlice1 = RGB(0x34, 0xB7, 0xFF);
constexpr COLORREF kGround = RGB(20, 200, 40);  // the test dialog
constexpr int kOutside = 2;                     // an index beyond the 2-slice strip: no slice, background only

class CustomButton : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dialog.Open(580, 200)); }
  void TearDown() override {
    test::MoveMouseTo(dialog.m_hWnd, 300, 190);
    button.DestroyWindow();
    dialog.DestroyWindow();
  }

  // normal, hot, pressed, disabled
  void Make(RECT rect, int strip, int slices, std::array<int, 4> indices) {
    ASSERT_TRUE(button.Create(dialog.m_hWnd, &rect, L"", WS_CHILD | WS_VISIBLE, 0, 1005));
    button.parentWindow = dialog.m_hWnd;
    SetSkinImage(button.stripImage, strip);
    button.sliceCount = slices;
    button.sliceIndex[CCustomButton::Normal] = indices[0];
    button.sliceIndex[CCustomButton::Hot] = indices[1];
    button.sliceIndex[CCustomButton::Pressed] = indices[2];
    button.sliceIndex[CCustomButton::Disabled] = indices[3];
    ASSERT_EQ(button.RebuildStateImages(), 1);
    test::Repaint(dialog.m_hWnd);
  }

  COLORREF At(int x, int y) {
    test::Repaint(dialog.m_hWnd);
    return test::ReadPixel(dialog.m_hWnd, x, y);
  }

  test::TestDialog dialog{test::TestDialog::Background::Solid, kGround};
  CCustomButton button;
};

TEST(CustomButtonState, PressedThenHotThenDisabledThenNormal) {
  struct Case {
    UINT itemState;
    CCustomButton::State state;
  } cases[] = {
      {0, CCustomButton::Normal},
      {CDIS_SELECTED, CCustomButton::Pressed},
      {CDIS_SELECTED | CDIS_HOT, CCustomButton::Pressed},
      {CDIS_SELECTED | CDIS_DISABLED, CCustomButton::Pressed},
      {CDIS_HOT, CCustomButton::Hot},
      {CDIS_HOT | CDIS_DISABLED, CCustomButton::Hot},
      {CDIS_DISABLED, CCustomButton::Disabled},
      {CDIS_FOCUS | CDIS_DEFAULT, CCustomButton::Normal},
  };
  for (const auto& c : cases) EXPECT_EQ(CCustomButton::StateForItemState(c.itemState), c.state) << c.itemState;
}

struct StateCase {
  const char* name;
  std::array<int, 4> indices;  // normal, hot, pressed, disabled
  bool hover;
  bool press;
  bool disable;
  COLORREF expected;
};

void PrintTo(const StateCase& c, std::ostream* out) {
  *out << c.name;
}

class CustomButtonStates : public CustomButton, public ::testing::WithParamInterface<StateCase> {};

TEST_P(CustomButtonStates, ShowTheirSliceOnScreen) {
  const StateCase& c = GetParam();
  Make({20, 20, 201, 70}, IDB_BTN_INSTALL, 2, c.indices);
  if (c.hover) test::MoveMouseTo(dialog.m_hWnd, 110, 45);
  if (c.press) ::SendMessageW(button.m_hWnd, BM_SETSTATE, TRUE, 0);
  if (c.disable) ::EnableWindow(button.m_hWnd, FALSE);
  EXPECT_EQ(At(110, 30), c.expected);
  EXPECT_EQ(At(30, 65), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Install, CustomButtonStates,
    ::testing::Values(
        StateCase{"normal", {0, 1, 1, 1}, false, false, false, kSlice0},
        StateCase{"hot", {0, 1, kOutside, kOutside}, true, false, false, kSlice1},
        StateCase{"pressed", {0, kOutside, 1, kOutside}, false, true, false, kSlice1},
        StateCase{"pressed_and_hot_shows_pressed", {0, kOutside, 1, kOutside}, true, true, false, kSlice1},
        StateCase{"disabled", {0, kOutside, kOutside, 1}, false, false, true, kSlice1},
        StateCase{"index_beyond_the_strip_shows_the_background", {kOutside, 1, 1, 1}, false, false, false, kGround}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CustomButton, TheCloseButtonsTwoRightmostColumnsShowTheWindowInEveryState) {
  Make({532, 0, 580, 36}, IDB_BTN_CLOSE, 2, {0, 1, 1, 1});
  EXPECT_EQ(At(532 + 5, 30), RGB(0x48, 0x9D, 0xE0));
  EXPECT_EQ(At(532 + 46, 30), kGround);
  EXPECT_EQ(At(532 + 47, 10), kGround);
  ::SendMessageW(button.m_hWnd, BM_SETSTATE, TRUE, 0);
  EXPECT_EQ(At(532 + 5, 30), RGB(0xF3, 0x03, 0x03));
  EXPECT_EQ(At(532 + 46, 30), kGround);
  EXPECT_EQ(At(532 + 47, 10), kGround);
}

TEST_F(CustomButton, AButtonLargerThanItsSliceShowsTheBackgroundBesideIt) {
  Make({20, 20, 250, 90}, IDB_BTN_INSTALL, 2, {0, 0, 0, 0});
  EXPECT_EQ(At(20 + 100, 20 + 25), kSlice0);
  EXPECT_EQ(At(20 + 200, 20 + 25), kGround);  // right of the 181-pixel slice
  EXPECT_EQ(At(20 + 100, 20 + 60), kGround);  // below the 50-pixel slice
}

TEST_F(CustomButton, AMissingStripGivesBackgroundOnlyPictures) {
  ASSERT_TRUE(button.Create(dialog.m_hWnd, nullptr, L"", WS_CHILD | WS_VISIBLE, 0, 1005));
  ::SetWindowPos(button.m_hWnd, nullptr, 20, 20, 100, 40, SWP_NOZORDER);
  button.parentWindow = dialog.m_hWnd;
  EXPECT_EQ(SetSkinImage(button.stripImage, 999), nullptr);
  button.sliceCount = 2;
  EXPECT_EQ(button.RebuildStateImages(), 1);
  EXPECT_EQ(At(60, 40), kGround);
}

TEST_F(CustomButton, ASizeChangeDropsTheBackgroundAndTheSameSizeKeepsIt) {
  Make({20, 20, 201, 70}, IDB_BTN_INSTALL, 2, {0, 1, 1, 1});
  EXPECT_TRUE(button.HasBackground());
  ::SendMessageW(button.m_hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(181, 50));
  EXPECT_TRUE(button.HasBackground());
  ::SetWindowPos(button.m_hWnd, nullptr, 0, 0, 100, 50, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_FALSE(button.HasBackground());
}

TEST_F(CustomButton, AZeroWidthButtonKeepsItsPictures) {
  Make({20, 20, 201, 70}, IDB_BTN_INSTALL, 2, {0, 1, 1, 1});
  Gdiplus::GpBitmap* before = button.StateImage(CCustomButton::Normal);
  ::SetWindowPos(button.m_hWnd, nullptr, 0, 0, 0, 50, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(button.RebuildStateImages(), 0);
  EXPECT_EQ(button.StateImage(CCustomButton::Normal), before);
}

// Counts the pixels in which two pictures differ.
int Differences(Gdiplus::GpBitmap* a, Gdiplus::GpBitmap* b, int width, int height) {
  int count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Gdiplus::ARGB pa = 0;
      Gdiplus::ARGB pb = 0;
      gp::GdipBitmapGetPixel(a, x, y, &pa);
      gp::GdipBitmapGetPixel(b, x, y, &pb);
      if (pa != pb) ++count;
    }
  }
  return count;
}

TEST_F(CustomButton, ANewCaptionShowsOnlyAfterARebuild) {
  Make({20, 20, 201, 70}, IDB_BTN_INSTALL, 2, {0, 1, 1, 1});
  for (auto& color : button.textColor) color = 0xFFFFFF;
  HFONT font = ::CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"微软雅黑");
  ::SendMessageW(button.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  ::SetWindowTextW(button.m_hWnd, L"立即安装");
  ASSERT_EQ(button.RebuildStateImages(), 1);
  test::Repaint(dialog.m_hWnd);
  // white caption pixels in the middle of the slice
  int white = 0;
  for (int x = 60; x < 160; ++x) white += test::ReadPixel(dialog.m_hWnd, x, 45) == RGB(255, 255, 255);
  EXPECT_GT(white, 3);

  ImageSlot snapshot;
  Gdiplus::GpBitmap* installPicture = nullptr;
  gp::GdipCloneBitmapAreaI(0, 0, 181, 50, PixelFormat32bppARGB, button.StateImage(CCustomButton::Normal),
                           &installPicture);
  UniqueGdiplusBitmap install(installPicture);
  std::vector<COLORREF> screenBefore;
  for (int x = 60; x < 160; ++x) screenBefore.push_back(test::ReadPixel(dialog.m_hWnd, x, 45));

  ::SetWindowTextW(button.m_hWnd, L"立即体验");
  test::Repaint(dialog.m_hWnd);
  std::vector<COLORREF> screenAfter;
  for (int x = 60; x < 160; ++x) screenAfter.push_back(test::ReadPixel(dialog.m_hWnd, x, 45));
  EXPECT_EQ(screenAfter, screenBefore);

  ASSERT_EQ(button.RebuildStateImages(), 1);
  for (auto state : {CCustomButton::Normal, CCustomButton::Hot, CCustomButton::Pressed, CCustomButton::Disabled}) {
    EXPECT_GT(Differences(install.get(), button.StateImage(state), 181, 50), 20) << state;
  }
  ::SendMessageW(button.m_hWnd, WM_SETFONT, 0, FALSE);
  ::DeleteObject(font);
}

TEST_F(CustomButton, SettingAFontRebuildsThePictures) {
  Make({20, 20, 201, 70}, IDB_BTN_INSTALL, 2, {0, 1, 1, 1});
  Gdiplus::GpBitmap* before = button.StateImage(CCustomButton::Normal);
  ::SendMessageW(button.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  EXPECT_NE(button.StateImage(CCustomButton::Normal), before);
  EXPECT_EQ(::SendMessageW(button.m_hWnd, WM_GETFONT, 0, 0),
            reinterpret_cast<LRESULT>(::GetStockObject(DEFAULT_GUI_FONT)));
}

}  // namespace
