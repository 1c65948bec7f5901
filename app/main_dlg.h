// The installer's one window: its controls and pages, and the install workflow
// that runs in its handlers and on one worker thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/hyperlink.h"
#include "framework/message_loop.h"
#include "framework/raii.h"
#include "framework/update_ui.h"
#include "ui/bitmap_edit.h"
#include "ui/custom_button.h"
#include "ui/dh_static.h"
#include "ui/skin.h"

// Control ids.
constexpr int IDC_INSTALL = 1005;
constexpr int IDC_AGREE = 1006;
constexpr int IDC_OPEN_OPTIONS = 1007;
constexpr int IDC_CLOSE_OPTIONS = 1008;
constexpr int IDC_CLOSE = 1009;
constexpr int IDC_AGREEMENT_LINK = 1012;
constexpr int IDC_FOLDER_EDIT = 1214;
constexpr int IDC_FOLDER_HEADING = 1215;
constexpr int IDC_BROWSE = 1216;
constexpr int IDC_OPTIONS_HEADING = 1217;
constexpr int IDC_DESKTOP = 1218;
constexpr int IDC_AUTOSTART = 1219;
constexpr int IDC_STARTMENU = 1220;
constexpr int IDC_FEATURE_FIRST = 1221;     // 1221..1224 images
constexpr int IDC_FEATURE_CAPTION = 1225;   // 1225..1228 captions
constexpr int IDC_STATUS = 1229;
constexpr int IDC_PROGRESS = 1230;
constexpr int IDC_DOWNLOAD_PERCENT = 1231;
constexpr int IDC_CHECK_LABEL_FIRST = 1232;  // 1232..1235 check-box labels
constexpr int IDC_EXTRACT_PERCENT = 1232;    // shares its id with the agreement label

// Client size of the artwork; the options panel adds 200 pixels below.
constexpr int kClientWidth = 578;
constexpr int kClientHeight = 398;
constexpr int kPanelHeight = 200;

// Page state.
constexpr int kPageOptions = 0;
constexpr int kPageInstalling = 1;
constexpr int kPageFinished = 2;

class CMainDlg : public CDialogImpl, public CUpdateUI, public CMessageFilter, public CIdleHandler {
 public:
  CMainDlg() = default;
  ~CMainDlg() override;

  BOOL PreTranslateMessage(MSG* message) override;
  BOOL OnIdle() override;
  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                            DWORD mapId = 0) override;

  int pageState = kPageOptions;
  std::wstring installPath;
  bool installFinished = false;
  uint16_t exitCode = 0;
  std::vector<std::wstring> processNames;
  int lastExtractPercent = 0;

 private:
  // set-up and painting
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCtlColorStatic(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnAgreementLink(int, NMHDR*, BOOL&);
  LRESULT OnOpenOptions(WORD, WORD, HWND, BOOL&);
  LRESULT OnCloseOptions(WORD, WORD, HWND, BOOL&);
  LRESULT OnCloseButton(WORD, WORD, HWND, BOOL&);
  LRESULT OnBrowse(WORD, WORD, HWND, BOOL&);
  LRESULT OnInstallOrTryNow(WORD, WORD, HWND, BOOL&);
  LRESULT OnToggleCheck(UINT, WPARAM, LPARAM, BOOL&);
  // workflow messages
  LRESULT OnDownloadDone(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDownloadFailed(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDownloadProgress(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractProgress(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractDone(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExtractFailed(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnQuit(UINT, WPARAM, LPARAM, BOOL&);

  void SizeToArtwork();
  void CreateControls();
  HFONT MakeFont(int tenthsOfPoint);
  HWND CreateSystemControl(const wchar_t* className, int id, const RECT& rect, DWORD style, const wchar_t* text,
                           HFONT font);
  void ConfigureButton(CCustomButton& button, int id, const RECT& rect, int strip, int sliceCount,
                       const int (&slices)[4]);
  void PaintPage(HDC dc);
  void ChangeHeight(int delta);
  void EndWithCode(int code);
  bool IsChecked(int id) const;
  std::wstring NormalizedFolder() const;

  void StartInstall();
  void FinishInstall();
  void ShowFinishPage();
  void TryNow();

  // controls
  CCustomButton installButton_, openOptions_, closeOptions_, closeButton_, browseButton_;
  CCustomButton features_[4];
  DhStatic checkLabels_[4];
  CBitmapEdit folderBox_;
  CHyperLink agreementLink_;
  HWND statusLabel_ = nullptr, progressBar_ = nullptr, downloadPercent_ = nullptr, extractPercent_ = nullptr;

  // resources the window owns
  ImageSlot pageImages_[3];
  UniqueFont buttonFont_, checkLabelFont_, labelFont_, folderFont_, featureFont_;
  UniqueIcon largeIcon_, smallIcon_;
  bool registeredWithLoop_ = false;
};
