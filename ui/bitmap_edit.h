// The folder box: a window of our own class "WTL_BitmapEditControl" that paints
// a frame image over the captured parent background and hosts a system edit
// control, whose background it fills with its own picture so that the typed
// text seems to stand on the frame.
#pragma once
#include <windows.h>

#include "framework/window.h"
#include "ui/skin.h"

class CBitmapEdit : public CWindowImpl {
 public:
  static constexpr DWORD kDefaultInnerEditStyle =
      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP | ES_AUTOHSCROLL;

  HWND innerEdit = nullptr;
  ImageSlot frameImage;
  UINT innerEditId = 0;
  DWORD innerEditStyle = kDefaultInnerEditStyle;
  COLORREF textColor = 0x000000;
  HWND parentWindow = nullptr;
  RECT innerRect{1, 1, 1, 1};

  // Sizes the control so that its client area is the frame image's size; 0 (and
  // nothing changed) when the slot is empty, else 1.
  int FitToImage();

  bool HasBackground() const { return !background_.empty(); }
  bool HasEditBackground() const { return !editBackground_.empty(); }

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                            DWORD mapId = 0) override;

 protected:
  WindowClassSpec GetWindowClassSpec() const override;

 private:
  LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnEraseBackground(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnPaint(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnMoveOrSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnControlColor(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  void Paint(HDC dc);

  CBackgroundBrush background_;
  CBackgroundBrush editBackground_;
};
