// quorvi-gallery: one window painted with the options-page artwork that hosts
// every skinned control kind in the looks the installer gives them.
//   quorvi-gallery.exe                      show the window until it is closed
//   quorvi-gallery.exe --screenshot FILE    save the painted window as PNG and exit (0 on success)
#include <windows.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "app/window_messages.h"
#include "framework/dialog.h"
#include "framework/gdiplus_raii.h"
#include "framework/hyperlink.h"
#include "resources/resource_ids.h"
#include "ui/bitmap_edit.h"
#include "ui/custom_button.h"
#include "ui/dh_static.h"

namespace {

constexpr int kArtworkWidth = 580;
constexpr int kClientWidth = 580;
constexpr int kClientHeight = 598;  // the options panel open
constexpr int kTopBand = 274;
constexpr UINT kTakeScreenshot = WM_APP + 1;
constexpr wchar_t kFace[] = L"微软雅黑";

std::wstring screenshotPath;
bool screenshotSaved = false;

// A font of the window's face from a size in tenths of a point.
HFONT CreatePointFont(int tenths) {
  ScopedGetDC screen(nullptr);
  POINT height{0, MulDiv(::GetDeviceCaps(screen.get(), LOGPIXELSY), tenths, 720)};
  POINT origin{0, 0};
  ::DPtoLP(screen.get(), &height, 1);
  ::DPtoLP(screen.get(), &origin, 1);
  LOGFONTW font{};
  font.lfHeight = -std::abs(height.y - origin.y);
  font.lfCharSet = DEFAULT_CHARSET;
  wcscpy_s(font.lfFaceName, kFace);
  return ::CreateFontIndirectW(&font);
}

bool SaveWindowPng(HWND window, const std::wstring& path) {
  RECT client{};
  ::GetClientRect(window, &client);
  ScopedGetDC dc(window);
  UniqueMemoryDc memory(::CreateCompatibleDC(dc.get()));
  UniqueBitmap bitmap(::CreateCompatibleBitmap(dc.get(), client.right, client.bottom));
  {
    ScopedSelectObject select(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY);
  }
  Gdiplus::GpBitmap* image = nullptr;
  gp::GdipCreateBitmapFromHBITMAP(bitmap.get(), nullptr, &image);
  UniqueGdiplusBitmap owned(image);
  if (!owned) return false;
  UINT count = 0;
  UINT bytes = 0;
  gp::GdipGetImageEncodersSize(&count, &bytes);
  std::vector<BYTE> buffer(bytes);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (gp::GdipGetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(encoders[i].MimeType) == L"image/png") {
      return gp::GdipSaveImageToFile(reinterpret_cast<Gdiplus::GpImage*>(owned.get()), path.c_str(), &encoders[i].Clsid,
                                     nullptr) == Gdiplus::Ok;
    }
  }
  return false;
}

class CGalleryDlg : public CDialogImpl, public CMessageFilter {
 public:
  ~CGalleryDlg() override {
    // the controls' windows go before the fonts they use
    for (auto* control : controls_) control->DestroyWindow();
  }

  BOOL PreTranslateMessage(MSG* message) override { return ::IsDialogMessageW(m_hWnd, message); }

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD) override {
    MessageDispatch<CGalleryDlg> d(this, window, message, wParam, lParam, result);
    return d.Message(WM_INITDIALOG, &CGalleryDlg::OnInitDialog) || d.Message(WM_DESTROY, &CGalleryDlg::OnDestroy) ||
           d.Message(WM_ERASEBKGND, &CGalleryDlg::OnEraseBackground) ||
           d.Message(WM_PRINTCLIENT, &CGalleryDlg::OnPaint) || d.Message(WM_PAINT, &CGalleryDlg::OnPaint) ||
           d.Message(WM_CTLCOLORSTATIC, &CGalleryDlg::OnCtlColorStatic) ||
           d.Message(WM_NCHITTEST, &CGalleryDlg::OnHitTest) || d.Message(UM_TOGGLE_CHECK, &CGalleryDlg::OnToggle) ||
           d.Message(kTakeScreenshot, &CGalleryDlg::OnScreenshot) || d.Notify(1012, NM_CLICK, &CGalleryDlg::OnLink) ||
           d.Command(1009, &CGalleryDlg::OnClose) || d.Command(IDCANCEL, &CGalleryDlg::OnClose) || d.Reflect();
  }

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::SetWindowPos(m_hWnd, nullptr, 60, 40, frame.right, frame.bottom, SWP_NOZORDER);
    ::SetWindowTextW(m_hWnd, L"quorvi-gallery");
    if (auto* loop = AppModule().GetMessageLoop()) loop->AddMessageFilter(this);
    SetSkinImage(page_, IDB_PAGE_OPTIONS);

    buttonFont_.reset(CreatePointFont(150));
    checkFont_.reset(CreatePointFont(90));
    labelFont_.reset(CreatePointFont(100));
    folderFont_.reset(CreatePointFont(100));

    MakeButton(install_, 1005, {200, 303, 381, 353}, IDB_BTN_INSTALL, 2, {0, 1, 1, 1});
    ::SetWindowTextW(install_.m_hWnd, L"立即安装");
    for (auto& color : install_.textColor) color = 0xFFFFFF;
    ::SendMessageW(install_.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), TRUE);

    MakeCheck(1006, {18, 370, 31, 383}, WS_TABSTOP);
    MakeLabel(agreeLabel_, 1232, {34, 369, 70, 385}, L"我同意", 1);
    MakeCheck(1218, {66, 525, 79, 538}, 0);
    MakeLabel(desktopLabel_, 1233, {82, 524, 183, 540}, L"建立桌面快捷方式", 2);
    MakeCheck(1219, {305, 525, 318, 538}, 0);
    MakeLabel(bootLabel_, 1234, {321, 524, 380, 540}, L"开机启动", 3);
    MakeCheck(1220, {66, 555, 79, 568}, 0);
    MakeLabel(menuLabel_, 1235, {81, 554, 220, 570}, L"建立开始菜单快捷方式", 4);

    MakeButton(openOptions_, 1007, {485, 375, 563, 386}, IDB_BTN_CUSTOM, 2, {1, 1, 1, 1});
    // the installer shows one toggle at a time in this place; the gallery shows the other below
    MakeButton(closeOptions_, 1008, {485, 395, 563, 406}, IDB_BTN_CUSTOM, 2, {0, 0, 0, 1});
    MakeButton(close_, 1009, {532, 0, 580, 36}, IDB_BTN_CLOSE, 2, {0, 1, 1, 1});

    HWND linkHost = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 72, 370, 78, 20, m_hWnd,
                                      reinterpret_cast<HMENU>(1012), ::GetModuleHandleW(nullptr), nullptr);
    link_.SubclassWindow(linkHost);
    link_.SetHyperLinkExtendedStyle(HLINK_NOTIFYBUTTON);
    link_.SetLabel(L"《用户协议》");

    MakeStatic(1215, {45, 418, 105, 435}, L"安装路径");
    MakeStatic(1217, {45, 500, 105, 517}, L"安装选项");

    folder_.innerEditId = 1214;
    folder_.parentWindow = m_hWnd;
    folder_.Create(m_hWnd, nullptr, L"", WS_CHILD | WS_VISIBLE);
    SetSkinImage(folder_.frameImage, IDB_EDIT_FRAME);
    folder_.FitToImage();
    ::SendMessageW(folder_.innerEdit, WM_SETFONT, reinterpret_cast<WPARAM>(folderFont_.get()), TRUE);
    RECT box{};
    ::GetClientRect(folder_.m_hWnd, &box);
    folder_.innerRect = {box.left + 5, box.top + 5, box.right - 3, box.bottom - 3};
    ::SetWindowTextW(folder_.innerEdit, L"C:\\Program Files\\Quorvi");
    ::SetWindowPos(folder_.m_hWnd, nullptr, 45, 445, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    controls_.push_back(&folder_);

    MakeButton(changeDir_, 1216, {453, 445, 545, 478}, IDB_BTN_CHANGE_DIR, 2, {1, 0, 0, 0});
    MakeButton(feature_, 1221, {58, 130, 123, 195}, IDB_ICON_FILES, 1, {0, 0, 0, 0});

    for (int id : {1006, 1218, 1219, 1220}) ::CheckDlgButton(m_hWnd, id, BST_CHECKED);
    if (!screenshotPath.empty()) ::PostMessageW(m_hWnd, kTakeScreenshot, 0, 0);
    return TRUE;
  }

  void MakeButton(CCustomButton& button, int id, RECT rect, int strip, int slices, std::array<int, 4> indices) {
    button.Create(m_hWnd, &rect, L"", WS_CHILD | WS_VISIBLE, 0, static_cast<UINT>(id));
    button.parentWindow = m_hWnd;
    SetSkinImage(button.stripImage, strip);
    button.sliceCount = slices;
    button.sliceIndex[CCustomButton::Normal] = indices[0];
    button.sliceIndex[CCustomButton::Hot] = indices[1];
    button.sliceIndex[CCustomButton::Pressed] = indices[2];
    button.sliceIndex[CCustomButton::Disabled] = indices[3];
    button.RebuildStateImages();
    controls_.push_back(&button);
  }

  void MakeCheck(int id, RECT r, DWORD extraStyle) {
    ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | extraStyle, r.left, r.top,
                      r.right - r.left, r.bottom - r.top, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                      ::GetModuleHandleW(nullptr), nullptr);
  }

  void MakeLabel(DhStatic& label, int id, RECT rect, const wchar_t* text, int index) {
    label.Create(m_hWnd, &rect, text, WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, static_cast<UINT>(id));
    label.checkIndex = index;
    ::SendMessageW(label.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(checkFont_.get()), TRUE);
    controls_.push_back(&label);
  }

  void MakeStatic(int id, RECT r, const wchar_t* text) {
    HWND label = ::CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), TRUE);
  }

  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
    if (auto* loop = AppModule().GetMessageLoop()) loop->RemoveMessageFilter(this);
    return 0;
  }

  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

  void Paint(HDC dc) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    Gdiplus::GpGraphics* raw = nullptr;
    gp::GdipCreateFromHDC(dc, &raw);
    UniqueGdiplusGraphics graphics(raw);
    if (!graphics) return;
    Gdiplus::GpSolidFill* rawFill = nullptr;
    gp::GdipCreateSolidFill(ToOpaqueArgb(RGB(245, 245, 245)), &rawFill);
    UniqueGdiplusSolidFill fill(rawFill);
    gp::GdipFillRectangleI(graphics.get(), reinterpret_cast<Gdiplus::GpBrush*>(fill.get()), 0, kTopBand, client.right,
                           client.bottom - kTopBand);
    if (!page_ || !page_->get()) return;
    Gdiplus::GpBitmap* rawBand = nullptr;
    gp::GdipCreateBitmapFromScan0(client.right, kTopBand, 0, PixelFormat32bppARGB, nullptr, &rawBand);
    UniqueGdiplusBitmap band(rawBand);
    Gdiplus::GpGraphics* rawBandGraphics = nullptr;
    if (band) gp::GdipGetImageGraphicsContext(reinterpret_cast<Gdiplus::GpImage*>(band.get()), &rawBandGraphics);
    UniqueGdiplusGraphics bandGraphics(rawBandGraphics);
    if (!bandGraphics) return;
    gp::GdipDrawImageRectI(bandGraphics.get(), page_->get(), 0, 0, client.right, kTopBand);
    gp::GdipDrawImageRectI(graphics.get(), reinterpret_cast<Gdiplus::GpImage*>(band.get()), 0, 0, kArtworkWidth,
                           kTopBand);
  }

  LRESULT OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
    PaintClient(m_hWnd, wParam, [this](HDC dc) { Paint(dc); });
    return 0;
  }

  LRESULT OnCtlColorStatic(UINT, WPARAM wParam, LPARAM, BOOL&) {
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<LRESULT>(::GetStockObject(HOLLOW_BRUSH));
  }

  LRESULT OnHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    ::MapWindowPoints(m_hWnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return ::PtInRect(&client, point) ? HTCAPTION : HTNOWHERE;
  }

  LRESULT OnToggle(UINT, WPARAM wParam, LPARAM, BOOL&) {
    static constexpr int kBoxes[] = {0, 1006, 1218, 1219, 1220};
    if (wParam >= 1 && wParam <= 4) {
      HWND box = ::GetDlgItem(m_hWnd, kBoxes[wParam]);
      bool checked = ::SendMessageW(box, BM_GETCHECK, 0, 0) > 0;
      ::SendMessageW(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    }
    return 0;
  }

  LRESULT OnLink(int, NMHDR*, BOOL&) {
    ::MessageBeep(MB_OK);
    return 0;
  }

  LRESULT OnClose(WORD, WORD id, HWND, BOOL&) {
    ::DestroyWindow(m_hWnd);
    ::PostQuitMessage(id == 1009 ? 1009 : 0);
    return 0;
  }

  LRESULT OnScreenshot(UINT, WPARAM wParam, LPARAM, BOOL&) {
    // let every control finish painting first
    if (wParam < 3) {
      ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      ::Sleep(100);
      ::PostMessageW(m_hWnd, kTakeScreenshot, wParam + 1, 0);
      return 0;
    }
    screenshotSaved = SaveWindowPng(m_hWnd, screenshotPath);
    ::DestroyWindow(m_hWnd);
    ::PostQuitMessage(screenshotSaved ? 0 : 1);
    return 0;
  }

  ImageSlot page_;
  UniqueFont buttonFont_, checkFont_, labelFont_, folderFont_;
  CCustomButton install_, openOptions_, closeOptions_, close_, changeDir_, feature_;
  DhStatic agreeLabel_, desktopLabel_, bootLabel_, menuLabel_;
  CHyperLink link_;
  CBitmapEdit folder_;
  std::vector<CWindowImpl*> controls_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  if (__argc == 3 && std::wstring(__wargv[1]) == L"--screenshot") screenshotPath = __wargv[2];
  return RunApplication(instance, [&] { return RunMainDialog<CGalleryDlg>(showCommand); });
}
