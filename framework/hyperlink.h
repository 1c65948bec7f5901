// A hyperlink label attached to a static control: blue underlined text, hand
// cursor over the text, focus rectangle, activation by click (press and release
// inside the text) or by Enter / Space. In notify mode an activation sends
// WM_NOTIFY / NM_CLICK to the parent; otherwise it opens the link's address.
#pragma once
#include <windows.h>

#include <string>

#include "framework/raii.h"
#include "framework/window.h"

// Extended styles of CHyperLink.
constexpr DWORD HLINK_NOTIFYBUTTON = 0x00000001;

class CHyperLink : public CWindowImpl {
 public:
  CHyperLink() = default;

  // Attaches to a static control: adds SS_NOTIFY, loads the hand cursor, makes
  // the fonts (the host's font if it has one, else the icon-title font) and
  // measures the text.
  BOOL SubclassWindow(HWND window);

  DWORD GetHyperLinkExtendedStyle() const { return extendedStyle_; }
  void SetHyperLinkExtendedStyle(DWORD style) { extendedStyle_ = style; }
  // The text shown; the host's window text becomes the same.
  BOOL SetLabel(const wchar_t* label);
  const std::wstring& GetLabel() const { return label_; }
  // The address opened when not in notify mode.
  BOOL SetHyperLink(const wchar_t* address);

  // Normal font: taken before attaching, else the host's or the icon-title font.
  void SetNormalFont(HFONT font) { normalFont_ = font; }
  // Where the text lies in client coordinates (clicks outside it do nothing).
  RECT GetTextRect() const { return textRect_; }
  // Activates the link as a click does.
  BOOL Navigate();

  static constexpr COLORREF kLinkColor = RGB(0, 0, 255);

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                            DWORD mapId = 0) override;

 private:
  LRESULT OnPaint(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnEraseBackground(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnFocus(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnButtonDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnButtonUp(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnChar(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnGetDlgCode(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnSetCursor(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnSetFont(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnEnable(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

  void MakeFonts();
  void MeasureText();
  void Paint(HDC dc);
  bool PointInText(LPARAM lParam) const;

  DWORD extendedStyle_ = 0;
  std::wstring label_;
  std::wstring address_;
  HFONT normalFont_ = nullptr;
  UniqueFont iconTitleFont_;
  UniqueFont linkFont_;
  HCURSOR linkCursor_ = nullptr;
  RECT textRect_{};
};
