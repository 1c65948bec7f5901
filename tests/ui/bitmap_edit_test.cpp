// CBitmapEdit: its class, its inner edit, fitting to the frame image, and the
// captured backgrounds it paints with, read back from the screen.
#include "ui/bitmap_edit.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/framework/gui_test_support.h"

namespace {

class FolderBox : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dialog.Open(580, 200)); }
  void TearDown() override {
    box.DestroyWindow();
    dialog.DestroyWindow();
  }
  void Make() {
    box.innerEditId = 1214;
    box.parentWindow = dialog.m_hWnd;
    ASSERT_TRUE(box.Create(dialog.m_hWnd, nullptr, L"", WS_CHILD | WS_VISIBLE));
  }

  test::TestDialog dialog{test::TestDialog::Background::Stripes};
  CBitmapEdit box;
};

TEST_F(FolderBox, RegistersItsClassAndCreatesTheInnerEdit) {
  Make();
  WNDCLASSEXW info{sizeof(info)};
  ASSERT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), L"WTL_BitmapEditControl", &info));
  EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
  EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
  ASSERT_TRUE(box.innerEdit);
  EXPECT_EQ(::GetParent(box.innerEdit), box.m_hWnd);
  EXPECT_EQ(::GetDlgCtrlID(box.innerEdit), 1214);
  EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(box.innerEdit, GWL_STYLE)) & 0xFFFF00FFu, 0x56010080u & 0xFFFF00FFu);
  EXPECT_TRUE(::GetWindowLongPtrW(box.innerEdit, GWL_STYLE) & ES_AUTOHSCROLL);
}

TEST_F(FolderBox, FitsItsClientAreaToTheFrameImage) {
  Make();
  EXPECT_EQ(box.FitToImage(), 0);  // empty slot: nothing changes
  RECT client{};
  ::GetClientRect(box.m_hWnd, &client);
  EXPECT_EQ(client.right, 0);
  ASSERT_TRUE(SetSkinImage(box.frameImage, IDB_EDIT_FRAME));
  EXPECT_EQ(box.FitToImage(), 1);
  ::GetClientRect(box.m_hWnd, &client);
  EXPECT_EQ(client.right, 409);
  EXPECT_EQ(client.bottom, 33);
  box.innerRect = {5, 5, 406, 30};
  ::SetWindowPos(box.m_hWnd, nullptr, 45, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  test::Repaint(dialog.m_hWnd);
  RECT edit{};
  ::GetWindowRect(box.innerEdit, &edit);
  ::MapWindowPoints(HWND_DESKTOP, box.m_hWnd, reinterpret_cast<POINT*>(&edit), 2);
  EXPECT_EQ(edit.left, 5);
  EXPECT_EQ(edit.top, 5);
  EXPECT_EQ(edit.right, 406);
  EXPECT_EQ(edit.bottom, 30);
  EXPECT_TRUE(::IsWindowVisible(box.innerEdit));
  // the frame image: grey border, white inside, also behind the inner edit
  EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 45, 110), RGB(0xB7, 0xB7, 0xB7));
  EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 45 + 2, 102), RGB(255, 255, 255));
  EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 45 + 380, 115), RGB(255, 255, 255));
}

TEST_F(FolderBox, AMovedBoxPaintsTheBackgroundNowUnderIt) {
  Make();
  ::SetWindowPos(box.m_hWnd, nullptr, 100, 50, 120, 30, SWP_NOZORDER);
  box.innerRect = {40, 5, 110, 25};
  test::Repaint(dialog.m_hWnd);
  // without a frame image the box and its inner edit show the window's picture
  for (int x : {3, 60}) EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 100 + x, 52), dialog.BackgroundAt(100 + x, 0));
  EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 100 + 100, 65), dialog.BackgroundAt(100 + 100, 0));
  EXPECT_TRUE(box.HasBackground());
  EXPECT_TRUE(box.HasEditBackground());
  for (int step = 1; step <= 2; ++step) {
    ::SetWindowPos(box.m_hWnd, nullptr, 100 + step, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    test::Repaint(dialog.m_hWnd);
    for (int x : {3, 60}) {
      EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 100 + step + x, 52), dialog.BackgroundAt(100 + step + x, 0)) << step;
    }
    EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 100 + step + 100, 65), dialog.BackgroundAt(100 + step + 100, 0)) << step;
  }
}

TEST_F(FolderBox, LongTextScrollsInsideTheEditWhileTheFrameStays) {
  Make();
  ASSERT_TRUE(SetSkinImage(box.frameImage, IDB_EDIT_FRAME));
  box.FitToImage();
  box.innerRect = {5, 5, 406, 30};
  ::SetWindowPos(box.m_hWnd, nullptr, 45, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  test::Repaint(dialog.m_hWnd);
  std::wstring text = L"C:\\";
  for (int i = 0; i < 20; ++i) text += L"很长的安装目录名称\\";
  ::SetWindowTextW(box.innerEdit, text.c_str());
  ::SetFocus(box.innerEdit);
  ::SendMessageW(box.innerEdit, EM_SETSEL, text.size(), text.size());
  test::Repaint(dialog.m_hWnd);
  // the first character has scrolled out to the left of the 401-pixel edit
  LRESULT first = ::SendMessageW(box.innerEdit, EM_POSFROMCHAR, 0, 0);
  EXPECT_LT(static_cast<short>(LOWORD(first)), 0);
  RECT edit{};
  ::GetWindowRect(box.innerEdit, &edit);
  EXPECT_EQ(edit.right - edit.left, 401);
  EXPECT_EQ(edit.bottom - edit.top, 25);
  EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 45, 110), RGB(0xB7, 0xB7, 0xB7));
  EXPECT_EQ(test::ReadPixel(dialog.m_hWnd, 45 + 408, 110), RGB(0xB7, 0xB7, 0xB7));
}

TEST_F(FolderBox, ColourMessagesGiveTheTextColourAndTheCapturedBrush) {
  Make();
  ::SetWindowPos(box.m_hWnd, nullptr, 100, 50, 120, 30, SWP_NOZORDER);
  box.textColor = RGB(200, 10, 10);
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  for (UINT message : {UINT{WM_CTLCOLOREDIT}, UINT{WM_CTLCOLORSTATIC}}) {
    ::SetBkMode(dc, OPAQUE);
    ::SetTextColor(dc, 0);
    auto brush = reinterpret_cast<HBRUSH>(
        ::SendMessageW(box.m_hWnd, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(box.innerEdit)));
    EXPECT_NE(brush, nullptr) << message;
    EXPECT_EQ(::GetTextColor(dc), RGB(200, 10, 10)) << message;
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT) << message;
  }
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
}

TEST_F(FolderBox, PaintsNothingWhileItsParentIsHidden) {
  box.innerEditId = 1214;
  box.parentWindow = dialog.m_hWnd;
  ::ShowWindow(dialog.m_hWnd, SW_HIDE);
  ASSERT_TRUE(box.Create(dialog.m_hWnd, nullptr, L"", WS_CHILD | WS_VISIBLE));
  ::SetWindowPos(box.m_hWnd, nullptr, 100, 50, 120, 30, SWP_NOZORDER);
  ::UpdateWindow(box.m_hWnd);
  EXPECT_FALSE(box.HasBackground());
}

}  // namespace
