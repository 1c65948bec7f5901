// The skinned push button: a superclassed system "BUTTON" whose face is one of
// four pre-rendered pictures (a slice of a strip image over the captured parent
// background, with the caption on top), drawn through the reflected
// NM_CUSTOMDRAW notification. Clicks are the system button's.
#pragma once
#include <windows.h>

#include "framework/window.h"
#include "ui/skin.h"

class CCustomButton : public CWindowImpl {
 public:
  enum State { Normal = 0, Pressed = 1, Hot = 2, Disabled = 3, kStateCount = 4 };

  CCustomButton();
  ~CCustomButton() override;

  // Configuration (see RebuildStateImages after each group).
  HWND parentWindow = nullptr;
  COLORREF textColor[kStateCount] = {0x000000, 0x000000, 0xFFFFFF, 0x282828};
  int sliceIndex[kStateCount] = {0, 0, 0, 0};
  int sliceCount = 0;
  ImageSlot stripImage;

  // Renders the four state pictures at the client size; 0 (nothing changed)
  // when the client area has zero width, else 1.
  int RebuildStateImages();
  // Renders one picture: background, slice index of the strip, caption in color.
  void RenderStateImage(Gdiplus::GpBitmap* target, int index, COLORREF color);
  // Draws the window text centred in layout (reaching 5 pixels above and below).
  void DrawCaption(Gdiplus::GpGraphics* surface, const Gdiplus::RectF& layout, COLORREF color);

  // The picture a custom-draw item state shows: pressed, then hot, then disabled, else normal.
  static State StateForItemState(UINT itemState);
  Gdiplus::GpBitmap* StateImage(State state) const { return stateImages_[state].get(); }
  bool HasBackground() const { return !background_.empty(); }

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                            DWORD mapId = 0) override;

 protected:
  WindowClassSpec GetWindowClassSpec() const override;

 private:
  LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnSetFont(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnReflectedNotify(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnCustomDraw(NMHDR* header, BOOL& handled);

  UniqueGdiplusFont captionFont_;
  CBackgroundBrush background_;
  UniqueGdiplusBitmap stateImages_[kStateCount];
  int cachedWidth_ = 0;
  int cachedHeight_ = 0;
  CRITICAL_SECTION lock_;
};
