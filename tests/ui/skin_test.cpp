// Skin images from the program's resources, and the background capture.
#include "ui/skin.h"

#include <gtest/gtest.h>

#include "tests/framework/gui_test_support.h"

namespace {

struct SkinCase {
  int id;
  UINT width;
  UINT height;
};

TEST(SkinImages, EveryImageLoadsWithItsSize) {
  const SkinCase cases[] = {
      {IDB_PAGE_OPTIONS, 579, 273}, {IDB_BTN_INSTALL, 362, 50},    {IDB_BTN_CLOSE, 92, 36},
      {IDB_BTN_CUSTOM, 156, 11},    {IDB_BTN_CHANGE_DIR, 184, 33}, {IDB_PAGE_PROGRESS, 580, 272},
      {IDB_ICON_FILES, 65, 65},     {IDB_ICON_PICTURES, 65, 65},   {IDB_ICON_RINGTONES, 65, 65},
      {IDB_ICON_APPS, 65, 65},      {IDB_EDIT_FRAME, 409, 33},     {IDB_PAGE_FINISH, 580, 274},
  };
  for (const auto& c : cases) {
    ImageSlot image = LoadSkinImage(c.id);
    ASSERT_TRUE(image) << c.id;
    EXPECT_EQ(image->status(), Gdiplus::Ok) << c.id;
    EXPECT_EQ(image->Width(), c.width) << c.id;
    EXPECT_EQ(image->Height(), c.height) << c.id;
  }
}

struct ColorCase {
  const char* what;
  int id;
  int x;
  int y;
  Gdiplus::ARGB color;
};

TEST(SkinImages, SlicesHaveTheirColours) {
  const ColorCase cases[] = {
      {"install slice 0", IDB_BTN_INSTALL, 90, 25, 0xFF329ED9},
      {"install slice 1", IDB_BTN_INSTALL, 271, 25, 0xFF34B7FF},
      {"close slice 0", IDB_BTN_CLOSE, 5, 30, 0xFF489DE0},
      {"close slice 1", IDB_BTN_CLOSE, 51, 30, 0xFFF30303},
      {"close cross", IDB_BTN_CLOSE, 22, 17, 0xFFFFFFFF},
      {"custom toggle ground", IDB_BTN_CUSTOM, 1, 1, 0xFFFAFAFA},
      {"change folder border", IDB_BTN_CHANGE_DIR, 0, 10, 0xFFB7B7B7},
      {"change folder slice 0", IDB_BTN_CHANGE_DIR, 5, 5, 0xFFFAFAFA},
      {"change folder slice 1", IDB_BTN_CHANGE_DIR, 97, 5, 0xFFEEEEEE},
      {"edit frame border", IDB_EDIT_FRAME, 0, 0, 0xFFB7B7B7},
      {"edit frame inside", IDB_EDIT_FRAME, 200, 15, 0xFFFFFFFF},
      {"options page ground", IDB_PAGE_OPTIONS, 5, 250, 0xFF499EDE},
      {"files icon square", IDB_ICON_FILES, 1, 1, 0xFF329ED9},
      {"files icon disc", IDB_ICON_FILES, 32, 8, 0xFF58AA84},
      {"pictures icon disc", IDB_ICON_PICTURES, 32, 8, 0xFF4B83C2},
      {"ringtones icon disc", IDB_ICON_RINGTONES, 10, 32, 0xFFE07D5F},
      {"apps icon disc", IDB_ICON_APPS, 32, 8, 0xFFF3B75F},
  };
  for (const auto& c : cases) {
    ImageSlot image = LoadSkinImage(c.id);
    ASSERT_TRUE(image) << c.what;
    Gdiplus::ARGB color = 0;
    gp::GdipBitmapGetPixel(reinterpret_cast<Gdiplus::GpBitmap*>(image->get()), c.x, c.y, &color);
    EXPECT_EQ(color, c.color) << c.what;
  }
}

TEST(SkinImages, AMissingIdLeavesTheSlotEmpty) {
  EXPECT_EQ(LoadSkinImage(204), nullptr);
  EXPECT_EQ(LoadSkinImage(0), nullptr);
  ImageSlot slot;
  ASSERT_NE(SetSkinImage(slot, IDB_BTN_CLOSE), nullptr);
  EXPECT_EQ(slot->Width(), 92u);
  EXPECT_EQ(SetSkinImage(slot, 999), nullptr);
  EXPECT_EQ(slot, nullptr);
}

TEST(SkinImages, ColoursBecomeOpaqueArgb) {
  EXPECT_EQ(ToOpaqueArgb(0x00282828), 0xFF282828u);
  EXPECT_EQ(ToOpaqueArgb(0x00FF0000), 0xFF0000FFu);
  EXPECT_EQ(ToOpaqueArgb(RGB(0x12, 0x34, 0x56)), 0xFF123456u);
}

class Capture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog.Open(400, 200));
    child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 37, 20, 60, 30, dialog.m_hWnd, nullptr, nullptr,
                              nullptr);
    ASSERT_TRUE(child);
  }
  void TearDown() override { dialog.DestroyWindow(); }

  test::TestDialog dialog{test::TestDialog::Background::Stripes};
  HWND child = nullptr;
};

TEST_F(Capture, TheThreeObjectsHoldTheParentsPictureUnderTheChild) {
  CBackgroundBrush background;
  EXPECT_TRUE(background.empty());
  ASSERT_NE(background.Capture(child, dialog.m_hWnd), nullptr);
  ASSERT_TRUE(background.bitmap());
  ASSERT_TRUE(background.patternBrush());
  UINT width = 0;
  UINT height = 0;
  gp::GdipGetImageWidth(reinterpret_cast<Gdiplus::GpImage*>(background.bitmap()), &width);
  gp::GdipGetImageHeight(reinterpret_cast<Gdiplus::GpImage*>(background.bitmap()), &height);
  EXPECT_EQ(width, 60u);
  EXPECT_EQ(height, 30u);
  // the pattern brush, filled at brush origin (0,0), gives the same pixels
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP canvas = ::CreateCompatibleBitmap(screen, 60, 30);
  HGDIOBJ old = ::SelectObject(memory, canvas);
  RECT all{0, 0, 60, 30};
  ::FillRect(memory, &all, background.patternBrush());
  for (int x : {0, 1, 29, 59}) {
    COLORREF expected = dialog.BackgroundAt(37 + x, 0);
    Gdiplus::ARGB pixel = 0;
    gp::GdipBitmapGetPixel(background.bitmap(), x, 10, &pixel);
    EXPECT_EQ(pixel & 0xFFFFFF, ToOpaqueArgb(expected) & 0xFFFFFF) << x;
    EXPECT_EQ(::GetPixel(memory, x, 10), expected) << x;
  }
  ::SelectObject(memory, old);
  ::DeleteObject(canvas);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  background.Reset();
  EXPECT_TRUE(background.empty());
  EXPECT_EQ(background.patternBrush(), nullptr);
  EXPECT_EQ(background.bitmap(), nullptr);
}

TEST_F(Capture, ANullHandleLeavesTheHolderAsItWas) {
  CBackgroundBrush background;
  ASSERT_NE(background.Capture(child, dialog.m_hWnd), nullptr);
  Gdiplus::GpTexture* texture = background.texture();
  EXPECT_EQ(background.Capture(nullptr, dialog.m_hWnd), nullptr);
  EXPECT_EQ(background.Capture(child, nullptr), nullptr);
  EXPECT_EQ(background.texture(), texture);
  CBackgroundBrush fresh;
  EXPECT_EQ(fresh.Capture(nullptr, nullptr), nullptr);
  EXPECT_TRUE(fresh.empty());
}

TEST_F(Capture, ACaptureAfterAMoveTakesTheNewPlace) {
  CBackgroundBrush background;
  ASSERT_NE(background.Capture(child, dialog.m_hWnd), nullptr);
  ::SetWindowPos(child, nullptr, 38, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ASSERT_NE(background.Capture(child, dialog.m_hWnd), nullptr);
  Gdiplus::ARGB pixel = 0;
  gp::GdipBitmapGetPixel(background.bitmap(), 0, 0, &pixel);
  EXPECT_EQ(pixel & 0xFFFFFF, ToOpaqueArgb(dialog.BackgroundAt(38, 0)) & 0xFFFFFF);
}

}  // namespace
