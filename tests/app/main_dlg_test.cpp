// The installer window on a real desktop under Wine: the handlers of its
// controls and of the workflow's messages, its painting and its size.
#include "app/main_dlg.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/window_messages.h"
#include "framework/message_loop.h"
#include "tests/framework/gui_test_support.h"

namespace {

class MainDlgTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { AppModule().Init(GetModuleHandleW(nullptr)); }
  void SetUp() override {
    dialog_ = std::make_unique<CMainDlg>();
    window_ = dialog_->Create(nullptr, IDD_MAIN);
    ASSERT_NE(window_, nullptr);
    ShowWindow(window_, SW_SHOW);
    test::Pump(50);
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    dialog_.reset();
    test::Pump();
  }

  HWND Item(int id) const { return GetDlgItem(window_, id); }
  // The n-th child with this id (the agreement label and the extraction label share 1232).
  HWND Child(int id, int index) const {
    std::vector<HWND> found;
    for (HWND c = GetWindow(window_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (GetDlgCtrlID(c) == id) found.push_back(c);
    return index < static_cast<int>(found.size()) ? found[index] : nullptr;
  }
  // Any descendant with this id: the folder box's edit lies inside the box.
  HWND Descendant(int id) const {
    struct Search {
      int id;
      HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        window_,
        [](HWND child, LPARAM p) -> BOOL {
          auto* s = reinterpret_cast<Search*>(p);
          if (GetDlgCtrlID(child) != s->id) return TRUE;
          s->found = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  std::wstring Text(HWND control) const {
    wchar_t buffer[256] = {};
    GetWindowTextW(control, buffer, 256);
    return buffer;
  }
  int ClientHeight() const {
    RECT r;
    GetClientRect(window_, &r);
    return r.bottom;
  }
  bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  LRESULT Post(UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageW(window_, message, wParam, lParam);
    test::Pump(20);
    return 0;
  }
  void Command(int id) { SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

  std::unique_ptr<CMainDlg> dialog_;
  HWND window_ = nullptr;
};

TEST_F(MainDlgTest, StartsOnTheOptionsPageAtTheArtworkSize) {
  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 578);
  EXPECT_EQ(client.bottom, 398);
  EXPECT_EQ(Text(window_), L"Quorvi手机助手安装程序");
  EXPECT_EQ(Text(Item(IDC_INSTALL)), L"立即安装");
  for (int id : {IDC_AGREE, IDC_DESKTOP, IDC_AUTOSTART, IDC_STARTMENU}) EXPECT_TRUE(Checked(id)) << id;
  for (int id : {IDC_INSTALL, IDC_AGREE, IDC_AGREEMENT_LINK, IDC_OPEN_OPTIONS, IDC_CLOSE, IDC_FOLDER_HEADING})
    EXPECT_TRUE(IsWindowVisible(Item(id))) << id;
  for (int id : {IDC_CLOSE_OPTIONS, IDC_STATUS, IDC_PROGRESS, IDC_DOWNLOAD_PERCENT, IDC_FEATURE_FIRST,
                 IDC_FEATURE_CAPTION + 3})
    EXPECT_FALSE(IsWindowVisible(Item(id))) << id;
  EXPECT_FALSE(IsWindowVisible(Child(IDC_EXTRACT_PERCENT, 1)));
  EXPECT_EQ(Text(Child(IDC_CHECK_LABEL_FIRST, 0)), L"我同意");  // look-ups by id find the agreement label
  EXPECT_EQ(dialog_->installPath.back(), L'\\');
  EXPECT_EQ(Text(Descendant(IDC_FOLDER_EDIT)), dialog_->installPath);
  EXPECT_EQ(dialog_->pageState, kPageOptions);
}

TEST_F(MainDlgTest, ProgressMessagesDriveTheBarAndLabels) {
  HWND bar = Item(IDC_PROGRESS), download = Item(IDC_DOWNLOAD_PERCENT), extract = Child(IDC_EXTRACT_PERCENT, 1);
  Post(UM_DOWNLOAD_PROGRESS, 37, 0);
  EXPECT_EQ(Text(download), L"37%");
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 37);

  ShowWindow(download, SW_SHOW);
  Post(UM_DOWNLOAD_DONE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(download));
  EXPECT_TRUE(IsWindowVisible(extract));
  EXPECT_EQ(Text(Item(IDC_STATUS)), L"正在解压文件");
  EXPECT_EQ(Text(extract), L"0%");
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 37);  // keeps the download's position

  // a four-item archive: item 0 gives 0, which changes nothing
  struct {
    WPARAM index;
    const wchar_t* label;
    int bar;
  } steps[] = {{0, L"0%", 37}, {1, L"25%", 25}, {2, L"50%", 50}, {3, L"75%", 75}};
  for (const auto& step : steps) {
    Post(UM_EXTRACT_PROGRESS, step.index, 4);
    EXPECT_EQ(Text(extract), step.label) << step.index;
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), step.bar) << step.index;
  }
}

TEST_F(MainDlgTest, LabelsToggleTheirBoxes) {
  const int boxes[] = {IDC_AGREE, IDC_DESKTOP, IDC_AUTOSTART, IDC_STARTMENU};
  for (int i = 0; i < 4; ++i) {
    SendMessageW(window_, UM_TOGGLE_CHECK, i + 1, 0);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(Checked(boxes[j]), j > i) << i << " " << j;
  }
  for (WPARAM other : {WPARAM{0}, WPARAM{5}}) SendMessageW(window_, UM_TOGGLE_CHECK, other, 0);
  for (int id : boxes) EXPECT_FALSE(Checked(id));
  SendMessageW(window_, UM_TOGGLE_CHECK, 3, 0);
  EXPECT_TRUE(Checked(IDC_AUTOSTART));
}

TEST_F(MainDlgTest, OptionsPanelOpensOnlyWithTheAgreementAccepted) {
  SendMessageW(window_, UM_TOGGLE_CHECK, 1, 0);  // agreement off
  Command(IDC_OPEN_OPTIONS);
  EXPECT_EQ(ClientHeight(), 398);
  EXPECT_TRUE(IsWindowVisible(Item(IDC_OPEN_OPTIONS)));
  SendMessageW(window_, UM_TOGGLE_CHECK, 1, 0);
  Command(IDC_OPEN_OPTIONS);
  EXPECT_EQ(ClientHeight(), 598);
  EXPECT_FALSE(IsWindowVisible(Item(IDC_OPEN_OPTIONS)));
  EXPECT_TRUE(IsWindowVisible(Item(IDC_CLOSE_OPTIONS)));
  SendMessageW(window_, UM_TOGGLE_CHECK, 1, 0);  // closing needs no agreement
  Command(IDC_CLOSE_OPTIONS);
  EXPECT_EQ(ClientHeight(), 398);
  EXPECT_TRUE(IsWindowVisible(Item(IDC_OPEN_OPTIONS)));
}

TEST_F(MainDlgTest, EscapeAndCancelLeaveTheWindowAlone) {
  Command(IDCANCEL);
  test::Pump(20);
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(ClientHeight(), 398);
}

TEST_F(MainDlgTest, DraggingByTheBackgroundOnly) {
  RECT client;
  GetClientRect(window_, &client);
  POINT inside = {300, 100}, outside = {client.right + 5, 100};
  ClientToScreen(window_, &inside);
  ClientToScreen(window_, &outside);
  EXPECT_EQ(SendMessageW(window_, WM_NCHITTEST, 0, MAKELPARAM(inside.x, inside.y)), HTCAPTION);
  EXPECT_EQ(SendMessageW(window_, WM_NCHITTEST, 0, MAKELPARAM(outside.x, outside.y)), HTNOWHERE);
}

TEST_F(MainDlgTest, StaticColours) {
  HDC dc = CreateCompatibleDC(nullptr);
  struct {
    HWND control;
    int mode;
    COLORREF text;
  } cases[] = {
      {Item(IDC_FEATURE_CAPTION), TRANSPARENT, RGB(255, 255, 255)},
      {Child(IDC_CHECK_LABEL_FIRST, 0), TRANSPARENT, RGB(1, 2, 3)},
      {Item(IDC_FOLDER_HEADING), TRANSPARENT, RGB(1, 2, 3)},
      {Item(IDC_STATUS), OPAQUE, RGB(1, 2, 3)},  // the labels over the white band stay opaque
      {Child(IDC_EXTRACT_PERCENT, 1), OPAQUE, RGB(1, 2, 3)},
  };
  for (const auto& c : cases) {
    SetBkMode(dc, OPAQUE);
    SetTextColor(dc, RGB(1, 2, 3));
    LRESULT brush = SendMessageW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(c.control));
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH)));
    EXPECT_EQ(GetBkMode(dc), c.mode) << GetDlgCtrlID(c.control);
    EXPECT_EQ(GetTextColor(dc), c.text) << GetDlgCtrlID(c.control);
  }
  DeleteDC(dc);
}

// The page painted into memory: artwork on top, the lower band's colour below.
COLORREF PaintedPixel(HWND window, int x, int y) {
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 600, 620);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
  COLORREF color = GetPixel(memory, x, y);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return color;
}

TEST_F(MainDlgTest, PagesPaintTheirBands) {
  struct {
    int page;
    int y;
    COLORREF expected;
  } cases[] = {
      {kPageOptions, 300, RGB(245, 245, 245)}, {kPageOptions, 265, RGB(0x49, 0x9E, 0xDE)},
      {kPageInstalling, 265, RGB(255, 255, 255)}, {kPageInstalling, 390, RGB(255, 255, 255)},
      {kPageFinished, 300, RGB(245, 245, 245)},
  };
  for (const auto& c : cases) {
    dialog_->pageState = c.page;
    COLORREF got = PaintedPixel(window_, 5, c.y);
    EXPECT_TRUE(test::SameColor(got, c.expected, 24))
        << "page " << c.page << " y " << c.y << " got " << std::hex << got;
  }
}

}  // namespace
