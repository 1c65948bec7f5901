#include "app/main_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

#include "app/install_folder.h"
#include "app/install_worker.h"
#include "app/window_messages.h"
#include "app/workflow_core.h"
#include "build_settings.h"
#include "resources/resource_ids.h"
#include "system/registration.h"
#include "system/report.h"
#include "system/service_stop.h"

namespace {

constexpr wchar_t kWindowTitle[] = L"Quorvi手机助手安装程序";
constexpr wchar_t kFontFace[] = L"微软雅黑";
constexpr wchar_t kNoticeCaption[] = L"提示";
constexpr wchar_t kDownloadFailed[] =
    L"网络异常,安装失败.您可以直接下载完整的安装包进行安装，点击确定开始下载完整安装包!";
constexpr wchar_t kExtractFailed[] = L"解压文件失败,请使用管理员身份运行程序";
constexpr wchar_t kInstallCaption[] = L"立即安装";
constexpr wchar_t kTryNowCaption[] = L"立即体验";
constexpr wchar_t kDownloadingStatus[] = L"正在下载文件:";
constexpr wchar_t kExtractingStatus[] = L"正在解压文件";

constexpr int kOptionsBandTop = 274;
constexpr int kProgressBandTop = 260;
constexpr int kArtworkWidth = 580;
constexpr int kClosedHeightLimit = 450;  // taller than this: the options panel is open

const wchar_t* const kProcessNames[] = {L"ZELK_Helper.exe", L"Quorvi.exe", L"httpd.exe", L"http.exe",
                                        L"ZELKP2sp.exe",    L"adb.exe",    L"aapt.exe"};

std::wstring PackageServerUrl(const wchar_t* path) { return std::wstring(L"http://") + QUORVI_PACKAGE_HOST + path; }

RECT Rect(int left, int top, int right, int bottom) { return RECT{left, top, right, bottom}; }

}  // namespace

CMainDlg::~CMainDlg() = default;

BOOL CMainDlg::PreTranslateMessage(MSG* message) { return IsDialogMessageW(m_hWnd, message); }

BOOL CMainDlg::OnIdle() {
  UIUpdateChildWindows();
  return FALSE;
}

BOOL CMainDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                    DWORD) {
  MessageDispatch<CMainDlg> d(this, window, message, wParam, lParam, result);
  return d.Message(WM_INITDIALOG, &CMainDlg::OnInitDialog) || d.Message(WM_DESTROY, &CMainDlg::OnDestroy) ||
         d.Message(WM_ERASEBKGND, &CMainDlg::OnEraseBackground) ||
         d.Message(WM_PRINTCLIENT, &CMainDlg::OnPaint) || d.Message(WM_PAINT, &CMainDlg::OnPaint) ||
         d.Message(WM_SIZE, &CMainDlg::OnSize) || d.Message(WM_CTLCOLORSTATIC, &CMainDlg::OnCtlColorStatic) ||
         d.Message(WM_NCHITTEST, &CMainDlg::OnNcHitTest) ||
         d.Notify(IDC_AGREEMENT_LINK, NM_CLICK, &CMainDlg::OnAgreementLink) ||
         d.Command(IDC_OPEN_OPTIONS, &CMainDlg::OnOpenOptions) ||
         d.Command(IDC_CLOSE_OPTIONS, &CMainDlg::OnCloseOptions) || d.Command(IDC_CLOSE, &CMainDlg::OnCloseButton) ||
         d.Command(IDC_BROWSE, &CMainDlg::OnBrowse) || d.Command(IDC_INSTALL, &CMainDlg::OnInstallOrTryNow) ||
         d.Message(UM_TOGGLE_CHECK, &CMainDlg::OnToggleCheck) ||
         d.Message(UM_DOWNLOAD_DONE, &CMainDlg::OnDownloadDone) ||
         d.Message(UM_DOWNLOAD_FAILED, &CMainDlg::OnDownloadFailed) ||
         d.Message(UM_DOWNLOAD_PROGRESS, &CMainDlg::OnDownloadProgress) ||
         d.Message(UM_EXTRACT_PROGRESS, &CMainDlg::OnExtractProgress) ||
         d.Message(UM_EXTRACT_DONE, &CMainDlg::OnExtractDone) ||
         d.Message(UM_EXTRACT_FAILED, &CMainDlg::OnExtractFailed) || d.Message(UM_QUIT, &CMainDlg::OnQuit) ||
         d.Reflect();
}

// ---- set-up ----------------------------------------------------------------

// The template's size depends on the dialog font's metrics (under Wine it gives
// 674 x 398); the artwork needs exactly 578 x 398.
void CMainDlg::SizeToArtwork() {
  RECT want = Rect(0, 0, kClientWidth, kClientHeight);
  AdjustWindowRectEx(&want, static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
  SetWindowPos(m_hWnd, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  SizeToArtwork();
  // no owner: centre over the work area of the nearest monitor, kept inside it
  MONITORINFO monitor = {sizeof monitor};
  GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
  RECT window;
  GetWindowRect(m_hWnd, &window);
  const RECT& work = monitor.rcWork;
  int width = window.right - window.left, height = window.bottom - window.top;
  int x = work.left + ((work.right - work.left) - width) / 2;
  int y = work.top + ((work.bottom - work.top) - height) / 2;
  x = std::max<int>(work.left, std::min<int>(x, work.right - width));
  y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  constexpr ULONG_PTR kExtraClassStyle = 0x100;  // set alongside the drop shadow, as the window always had it
  SetClassLongPtrW(m_hWnd, GCL_STYLE, GetClassLongPtrW(m_hWnd, GCL_STYLE) | CS_DROPSHADOW | kExtraClassStyle);

  HINSTANCE instance = GetModuleHandleW(nullptr);
  largeIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                                 LR_DEFAULTCOLOR)));
  smallIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                 LR_DEFAULTCOLOR)));
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.get()));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

  if (CMessageLoop* loop = AppModule().GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
    registeredWithLoop_ = true;
  }

  SetWindowTextW(m_hWnd, kWindowTitle);
  lastExtractPercent = 0;
  SetSkinImage(pageImages_[0], IDB_PAGE_OPTIONS);
  SetSkinImage(pageImages_[1], IDB_PAGE_PROGRESS);
  SetSkinImage(pageImages_[2], IDB_PAGE_FINISH);
  CreateControls();

  for (int id : {IDC_CLOSE_OPTIONS, IDC_STATUS, IDC_PROGRESS, IDC_DOWNLOAD_PERCENT}) ShowWindow(GetDlgItem(m_hWnd, id), SW_HIDE);
  for (int i = 0; i < 4; ++i) {
    ShowWindow(features_[i].m_hWnd, SW_HIDE);
    ShowWindow(GetDlgItem(m_hWnd, IDC_FEATURE_CAPTION + i), SW_HIDE);
  }
  ShowWindow(extractPercent_, SW_HIDE);
  pageState = kPageOptions;
  installFinished = false;
  return TRUE;
}

// Height in logical units of a size in tenths of a point on the screen.
HFONT CMainDlg::MakeFont(int tenthsOfPoint) {
  HDC screen = GetDC(nullptr);
  POINT height = {0, MulDiv(GetDeviceCaps(screen, LOGPIXELSY), tenthsOfPoint, 720)};
  POINT origin = {0, 0};
  DPtoLP(screen, &height, 1);
  DPtoLP(screen, &origin, 1);
  ReleaseDC(nullptr, screen);
  LOGFONTW font = {};
  font.lfHeight = -std::abs(height.y - origin.y);
  font.lfCharSet = DEFAULT_CHARSET;
  wcscpy(font.lfFaceName, kFontFace);
  return CreateFontIndirectW(&font);
}

HWND CMainDlg::CreateSystemControl(const wchar_t* className, int id, const RECT& rect, DWORD style,
                                   const wchar_t* text, HFONT font) {
  HWND control = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                                 rect.right - rect.left, rect.bottom - rect.top, m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void CMainDlg::ConfigureButton(CCustomButton& button, int id, const RECT& rect, int strip, int sliceCount,
                               const int (&slices)[4]) {
  button.parentWindow = m_hWnd;
  button.Create(m_hWnd, &rect, L"", WS_CHILD | WS_VISIBLE, 0, id);
  SetSkinImage(button.stripImage, strip);
  button.sliceCount = sliceCount;
  for (int s = 0; s < 4; ++s) button.sliceIndex[s] = slices[s];
  button.RebuildStateImages();
}

void CMainDlg::CreateControls() {
  // slice per state: Normal, Pressed, Hot, Disabled
  buttonFont_.reset(MakeFont(150));
  ConfigureButton(installButton_, IDC_INSTALL, Rect(200, 303, 381, 353), IDB_BTN_INSTALL, 2, {0, 1, 1, 1});
  SetWindowTextW(installButton_.m_hWnd, kInstallCaption);
  for (COLORREF& c : installButton_.textColor) c = RGB(255, 255, 255);
  SendMessageW(installButton_.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), FALSE);

  HWND agree = CreateSystemControl(L"BUTTON", IDC_AGREE, Rect(18, 370, 31, 383), WS_TABSTOP | BS_AUTOCHECKBOX, L"",
                                   nullptr);
  SendMessageW(agree, BM_SETCHECK, BST_CHECKED, 0);

  checkLabelFont_.reset(MakeFont(90));
  struct CheckRow {
    int boxId;
    RECT box;
    RECT label;
    const wchar_t* text;
  } rows[] = {
      {IDC_AGREE, {}, Rect(34, 369, 70, 385), L"我同意"},
      {IDC_DESKTOP, Rect(66, 525, 79, 538), Rect(82, 524, 183, 540), L"建立桌面快捷方式"},
      {IDC_AUTOSTART, Rect(305, 525, 318, 538), Rect(321, 524, 380, 540), L"开机启动"},
      {IDC_STARTMENU, Rect(66, 555, 79, 568), Rect(81, 554, 220, 570), L"建立开始菜单快捷方式"},
  };
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      HWND box = CreateSystemControl(L"BUTTON", rows[i].boxId, rows[i].box, BS_AUTOCHECKBOX, L"", nullptr);
      SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    }
    checkLabels_[i].Create(m_hWnd, &rows[i].label, rows[i].text, WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0,
                           IDC_CHECK_LABEL_FIRST + i);
    SendMessageW(checkLabels_[i].m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(checkLabelFont_.get()), FALSE);
    checkLabels_[i].checkIndex = i + 1;
  }

  ConfigureButton(openOptions_, IDC_OPEN_OPTIONS, Rect(485, 375, 563, 386), IDB_BTN_CUSTOM, 2, {1, 1, 1, 1});
  ConfigureButton(closeOptions_, IDC_CLOSE_OPTIONS, Rect(485, 375, 563, 386), IDB_BTN_CUSTOM, 2, {0, 0, 0, 1});
  ConfigureButton(closeButton_, IDC_CLOSE, Rect(532, 0, 580, 36), IDB_BTN_CLOSE, 2, {0, 1, 1, 1});

  HWND link = CreateSystemControl(L"STATIC", IDC_AGREEMENT_LINK, Rect(72, 370, 150, 390), 0, L"", nullptr);
  agreementLink_.SubclassWindow(link);
  agreementLink_.SetLabel(L"《用户协议》");
  agreementLink_.SetHyperLinkExtendedStyle(HLINK_NOTIFYBUTTON);

  labelFont_.reset(MakeFont(100));
  CreateSystemControl(L"STATIC", IDC_FOLDER_HEADING, Rect(45, 418, 105, 435), 0, L"安装路径", labelFont_.get());
  CreateSystemControl(L"STATIC", IDC_OPTIONS_HEADING, Rect(45, 500, 105, 517), 0, L"安装选项", labelFont_.get());

  installPath = DefaultInstallFolder();
  folderFont_.reset(MakeFont(100));
  folderBox_.innerEditId = IDC_FOLDER_EDIT;
  folderBox_.parentWindow = m_hWnd;
  folderBox_.Create(m_hWnd, nullptr, L"", WS_CHILD | WS_VISIBLE);
  SetSkinImage(folderBox_.frameImage, IDB_EDIT_FRAME);
  folderBox_.FitToImage();
  SendMessageW(folderBox_.innerEdit, WM_SETFONT, reinterpret_cast<WPARAM>(folderFont_.get()), FALSE);
  RECT client;
  GetClientRect(folderBox_.m_hWnd, &client);
  folderBox_.innerRect = Rect(client.left + 5, client.top + 5, client.right - 3, client.bottom - 3);
  SetWindowTextW(folderBox_.innerEdit, installPath.c_str());
  SetWindowPos(folderBox_.m_hWnd, nullptr, 45, 445, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  ConfigureButton(browseButton_, IDC_BROWSE, Rect(453, 445, 545, 478), IDB_BTN_CHANGE_DIR, 2, {1, 0, 0, 0});

  const int featureStrips[] = {IDB_ICON_FILES, IDB_ICON_PICTURES, IDB_ICON_RINGTONES, IDB_ICON_APPS};
  const int featureLeft[] = {58, 190, 322, 454};
  for (int i = 0; i < 4; ++i)
    ConfigureButton(features_[i], IDC_FEATURE_FIRST + i, Rect(featureLeft[i], 130, featureLeft[i] + 65, 195),
                    featureStrips[i], 1, {0, 0, 0, 0});
  featureFont_.reset(MakeFont(130));
  const wchar_t* captions[] = {L"文件管理", L"图片管理", L"铃音下载", L"软件游戏"};
  for (int i = 0; i < 4; ++i)
    CreateSystemControl(L"STATIC", IDC_FEATURE_CAPTION + i, Rect(featureLeft[i], 205, featureLeft[i] + 80, 232), 0,
                        captions[i], featureFont_.get());

  statusLabel_ = CreateSystemControl(L"STATIC", IDC_STATUS, Rect(20, 300, 150, 317), 0, kDownloadingStatus,
                                     labelFont_.get());
  downloadPercent_ = CreateSystemControl(L"STATIC", IDC_DOWNLOAD_PERCENT, Rect(110, 300, 140, 317), 0, L"",
                                         labelFont_.get());
  extractPercent_ = CreateSystemControl(L"STATIC", IDC_EXTRACT_PERCENT, Rect(110, 300, 140, 317), 0, L"",
                                        labelFont_.get());
  progressBar_ = CreateSystemControl(PROGRESS_CLASSW, IDC_PROGRESS, Rect(20, 335, 560, 345), 0, nullptr, nullptr);
}

LRESULT CMainDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
  if (registeredWithLoop_) {
    if (CMessageLoop* loop = AppModule().GetMessageLoop()) {
      loop->RemoveMessageFilter(this);
      loop->RemoveIdleHandler(this);
    }
    registeredWithLoop_ = false;
  }
  return 0;
}

// ---- painting and the window's own behaviour ------------------------------

LRESULT CMainDlg::OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

LRESULT CMainDlg::OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
  PaintClient(m_hWnd, wParam, [this](HDC dc) { PaintPage(dc); });
  return 0;
}

void CMainDlg::PaintPage(HDC dc) {
  RECT client;
  GetClientRect(m_hWnd, &client);
  const int width = client.right, height = client.bottom;
  const int band = pageState == kPageInstalling ? kProgressBandTop : kOptionsBandTop;
  const COLORREF lower = pageState == kPageInstalling ? RGB(255, 255, 255) : RGB(245, 245, 245);
  SkinImage* image = pageImages_[pageState == kPageInstalling ? 1 : pageState == kPageFinished ? 2 : 0].get();

  Gdiplus::GpGraphics* raw = nullptr;
  if (gp::GdipCreateFromHDC(dc, &raw) != Gdiplus::Ok) return;
  UniqueGdiplusGraphics graphics(raw);
  Gdiplus::GpSolidFill* fillRaw = nullptr;
  gp::GdipCreateSolidFill(ToOpaqueArgb(lower), &fillRaw);
  UniqueGdiplusSolidFill fill(fillRaw);
  gp::GdipFillRectangleI(graphics.get(), reinterpret_cast<Gdiplus::GpBrush*>(fill.get()), 0, band, width,
                         height - band);
  if (image == nullptr || image->get() == nullptr || width <= 0) return;

  // the artwork is stretched into a picture of the window's width, then drawn 580 wide
  Gdiplus::GpBitmap* pictureRaw = nullptr;
  if (gp::GdipCreateBitmapFromScan0(width, band, 0, PixelFormat32bppARGB, nullptr, &pictureRaw) != Gdiplus::Ok)
    return;
  UniqueGdiplusBitmap picture(pictureRaw);
  Gdiplus::GpGraphics* pictureGraphicsRaw = nullptr;
  gp::GdipGetImageGraphicsContext(reinterpret_cast<Gdiplus::GpImage*>(picture.get()), &pictureGraphicsRaw);
  {
    UniqueGdiplusGraphics pictureGraphics(pictureGraphicsRaw);
    gp::GdipDrawImageRectI(pictureGraphics.get(), image->get(), 0, 0, width, band);
  }
  gp::GdipDrawImageRectI(graphics.get(), reinterpret_cast<Gdiplus::GpImage*>(picture.get()), 0, 0, kArtworkWidth,
                         band);
}

LRESULT CMainDlg::OnSize(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

LRESULT CMainDlg::OnCtlColorStatic(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  for (int id : {IDC_CHECK_LABEL_FIRST, IDC_CHECK_LABEL_FIRST + 1, IDC_CHECK_LABEL_FIRST + 2,
                 IDC_CHECK_LABEL_FIRST + 3, IDC_AGREEMENT_LINK, IDC_FOLDER_HEADING, IDC_OPTIONS_HEADING, IDC_AGREE}) {
    if (control == GetDlgItem(m_hWnd, id)) SetBkMode(dc, TRANSPARENT);
  }
  for (int i = 0; i < 4; ++i) {
    if (control == GetDlgItem(m_hWnd, IDC_FEATURE_CAPTION + i)) {
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(255, 255, 255));
    }
  }
  return reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH));
}

LRESULT CMainDlg::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
  RECT client;
  GetClientRect(m_hWnd, &client);
  MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
  POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  return PtInRect(&client, point) ? HTCAPTION : HTNOWHERE;
}

LRESULT CMainDlg::OnAgreementLink(int, NMHDR*, BOOL&) {
  ShellExecuteW(nullptr, L"open", PackageServerUrl(L"/terms.html").c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return 0;
}

void CMainDlg::ChangeHeight(int delta) {
  RECT window;
  GetWindowRect(m_hWnd, &window);
  SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + delta,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CMainDlg::OnOpenOptions(WORD, WORD, HWND, BOOL&) {
  if (!IsChecked(IDC_AGREE)) return 0;
  ShowWindow(openOptions_.m_hWnd, SW_HIDE);
  ShowWindow(closeOptions_.m_hWnd, SW_SHOW);
  ChangeHeight(kPanelHeight);
  return 0;
}

LRESULT CMainDlg::OnCloseOptions(WORD, WORD, HWND, BOOL&) {
  ShowWindow(closeOptions_.m_hWnd, SW_HIDE);
  ShowWindow(openOptions_.m_hWnd, SW_SHOW);
  ChangeHeight(-kPanelHeight);
  return 0;
}

LRESULT CMainDlg::OnCloseButton(WORD, WORD id, HWND, BOOL&) {
  EndWithCode(id);
  return 0;
}

LRESULT CMainDlg::OnBrowse(WORD, WORD, HWND, BOOL&) {
  std::wstring initial = installPath;
  BrowseForFolder(&installPath, initial);
  installPath = workflow::TrimSpaces(installPath);
  SetWindowTextW(folderBox_.innerEdit, installPath.c_str());
  return 0;
}

LRESULT CMainDlg::OnToggleCheck(UINT, WPARAM wParam, LPARAM, BOOL&) {
  const int boxes[] = {IDC_AGREE, IDC_DESKTOP, IDC_AUTOSTART, IDC_STARTMENU};
  if (wParam >= 1 && wParam <= 4) {
    HWND box = GetDlgItem(m_hWnd, boxes[wParam - 1]);
    LRESULT state = SendMessageW(box, BM_GETCHECK, 0, 0);
    SendMessageW(box, BM_SETCHECK, state <= 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return 0;
}

bool CMainDlg::IsChecked(int id) const {
  return SendMessageW(GetDlgItem(m_hWnd, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CMainDlg::EndWithCode(int code) {
  DestroyWindow();
  PostQuitMessage(code);
}

std::wstring CMainDlg::NormalizedFolder() const {
  std::wstring text;
  ReadFolderText(folderBox_.innerEdit, text);
  return workflow::NormalizeFolder(text);
}

// ---- the install workflow ---------------------------------------------------

LRESULT CMainDlg::OnInstallOrTryNow(WORD, WORD, HWND, BOOL&) {
  if (installFinished)
    TryNow();
  else
    StartInstall();
  return 0;
}

void CMainDlg::StartInstall() {
  exitCode = IDC_INSTALL;
  installPath = NormalizedFolder();
  // a folder too long for the path buffers is treated as one that does not exist
  const bool fits = workflow::FolderFitsBuffers(installPath);
  if (fits) CreateInstallFolder(installPath);
  if (!fits || _waccess(installPath.c_str(), 0) != 0) {
    ShowMissingFolderMessage();
    return;
  }
  if (!IsChecked(IDC_AGREE)) return;

  ShowWindow(downloadPercent_, SW_SHOW);
  ShowWindow(extractPercent_, SW_HIDE);
  RECT window;
  GetWindowRect(m_hWnd, &window);
  if (window.bottom - window.top > kClosedHeightLimit) ChangeHeight(-kPanelHeight);
  for (HWND control : {installButton_.m_hWnd, GetDlgItem(m_hWnd, IDC_AGREE), agreementLink_.m_hWnd,
                       closeOptions_.m_hWnd, openOptions_.m_hWnd})
    ShowWindow(control, SW_HIDE);
  for (int i = 0; i < 4; ++i) {
    ShowWindow(features_[i].m_hWnd, SW_SHOW);
    ShowWindow(GetDlgItem(m_hWnd, IDC_FEATURE_CAPTION + i), SW_SHOW);
    ShowWindow(checkLabels_[i].m_hWnd, SW_HIDE);
  }
  ShowWindow(statusLabel_, SW_SHOW);
  ShowWindow(progressBar_, SW_SHOW);
  pageState = kPageInstalling;
  InvalidateRect(m_hWnd, nullptr, FALSE);

  StopService(kServiceName);
  processNames.assign(std::begin(kProcessNames), std::end(kProcessNames));
  TerminateProcessesByName(processNames);

  StartInstallWorker(InstallJob{m_hWnd, folderBox_.innerEdit, PackageServerUrl(L"/consezip/QuorviPhoneAx.zip")});
}

LRESULT CMainDlg::OnDownloadProgress(UINT, WPARAM wParam, LPARAM, BOOL&) {
  SendMessageW(progressBar_, PBM_SETPOS, wParam, 0);
  SetWindowTextW(downloadPercent_, workflow::FormatPercent(static_cast<int>(wParam)).c_str());
  return 0;
}

LRESULT CMainDlg::OnDownloadDone(UINT, WPARAM, LPARAM, BOOL&) {
  ShowWindow(downloadPercent_, SW_HIDE);
  ShowWindow(extractPercent_, SW_SHOW);
  SetWindowTextW(statusLabel_, kExtractingStatus);
  SetWindowTextW(extractPercent_, workflow::FormatPercent(0).c_str());
  return 0;
}

LRESULT CMainDlg::OnDownloadFailed(UINT, WPARAM, LPARAM, BOOL&) {
  int answer = MessageBoxW(m_hWnd, kDownloadFailed, kNoticeCaption, MB_OKCANCEL);
  if (answer == IDOK) {
    ShellExecuteW(nullptr, L"open", PackageServerUrl(L"/consezip/InStallComplete.exe").c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
  } else {
    PostMessageW(m_hWnd, UM_QUIT, 0, 0);
  }
  return 0;
}

LRESULT CMainDlg::OnExtractProgress(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  int percent = workflow::ExtractPercent(static_cast<uintptr_t>(wParam), static_cast<intptr_t>(lParam));
  if (percent != lastExtractPercent) {
    SendMessageW(progressBar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    SetWindowTextW(extractPercent_, workflow::FormatPercent(percent).c_str());
    lastExtractPercent = percent;
  }
  return 0;
}

LRESULT CMainDlg::OnExtractFailed(UINT, WPARAM, LPARAM, BOOL&) {
  MessageBoxW(m_hWnd, kExtractFailed, kNoticeCaption, MB_OK);
  PostMessageW(m_hWnd, UM_QUIT, 0, 0);
  return 0;
}

LRESULT CMainDlg::OnExtractDone(UINT, WPARAM, LPARAM, BOOL&) {
  FinishInstall();
  return 0;
}

LRESULT CMainDlg::OnQuit(UINT, WPARAM, LPARAM, BOOL&) {
  EndWithCode(exitCode);
  return 0;
}

void CMainDlg::FinishInstall() {
  const std::wstring folder = NormalizedFolder();
  const std::wstring app = folder + workflow::kAppRelative;
  const std::wstring uninstaller = folder + workflow::kUninstallRelative;
  const bool desktop = IsChecked(IDC_DESKTOP), autostart = IsChecked(IDC_AUTOSTART),
             startMenu = IsChecked(IDC_STARTMENU);
  if (app.size() < workflow::kPathUnits && uninstaller.size() < workflow::kPathUnits) {
    RegisterApplication(app.c_str(), 0, desktop, startMenu, autostart);
    RegisterApplication(uninstaller.c_str(), 1, false, startMenu, false);
  }
  // the wide path: a temporary folder outside the ANSI code page must not leave the archive behind
  DeleteFileW((TemporaryFolder() + workflow::kArchiveName).c_str());
  ShowFinishPage();
}

void CMainDlg::ShowFinishPage() {
  SetWindowTextW(installButton_.m_hWnd, kTryNowCaption);
  installButton_.RebuildStateImages();
  ShowWindow(installButton_.m_hWnd, SW_SHOW);
  ShowWindow(downloadPercent_, SW_HIDE);
  ShowWindow(extractPercent_, SW_HIDE);
  for (int i = 0; i < 4; ++i) {
    ShowWindow(features_[i].m_hWnd, SW_HIDE);
    ShowWindow(GetDlgItem(m_hWnd, IDC_FEATURE_CAPTION + i), SW_HIDE);
  }
  ShowWindow(statusLabel_, SW_HIDE);
  ShowWindow(progressBar_, SW_HIDE);
  installFinished = true;
  pageState = kPageFinished;
  InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CMainDlg::TryNow() {
  exitCode = IDC_INSTALL;
  const std::wstring folder = NormalizedFolder();
  // the report goes first and its outcome does not matter; a conversion failure
  // must not keep the application from starting
  try {
    std::string body = MakeInstallReportBody(kInstallReportType);
    SendInstallReport(body.c_str());
  } catch (...) {
  }
  const std::wstring app = folder + workflow::kAppRelative;
  if (app.size() < workflow::kPathUnits)
    ShellExecuteW(nullptr, L"open", app.c_str(), nullptr, nullptr, SW_SHOW);
  EndWithCode(IDC_INSTALL);
}
