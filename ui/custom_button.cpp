#include "ui/custom_button.h"

#include <commctrl.h>

#include <array>

namespace {

class ScopedLock {
 public:
  explicit ScopedLock(CRITICAL_SECTION& section) : section_(section) { ::EnterCriticalSection(&section_); }
  ~ScopedLock() { ::LeaveCriticalSection(&section_); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

constexpr int kCaptionBufferUnits = 1024;

}  // namespace

CCustomButton::CCustomButton() {
  ::InitializeCriticalSection(&lock_);
  Gdiplus::GpFontFamily* family = nullptr;
  gp::GdipCreateFontFamilyFromName(L"Arial", nullptr, &family);
  UniqueGdiplusFontFamily ownedFamily(family);
  Gdiplus::GpFont* font = nullptr;
  if (family) gp::GdipCreateFont(family, 12.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint, &font);
  captionFont_.reset(font);
}

CCustomButton::~CCustomButton() {
  // the window goes first, so that no paint runs while the pictures are released
  if (m_hWnd) DestroyWindow();
  for (auto& image : stateImages_) image.reset();
  stripImage.reset();
  background_.Reset();
  captionFont_.reset();
  ::DeleteCriticalSection(&lock_);
}

WindowClassSpec CCustomButton::GetWindowClassSpec() const {
  WindowClassSpec classSpec;
  classSpec.className = L"QuorviCustomButton";
  classSpec.baseClassName = L"BUTTON";
  return classSpec;
}

CCustomButton::State CCustomButton::StateForItemState(UINT itemState) {
  if (itemState & CDIS_SELECTED) return Pressed;
  if (itemState & CDIS_HOT) return Hot;
  if (itemState & CDIS_DISABLED) return Disabled;
  return Normal;
}

int CCustomButton::RebuildStateImages() {
  if (!m_hWnd) return 0;
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (width == 0) return 0;
  ScopedLock lock(lock_);
  for (auto& image : stateImages_) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap);
    image.reset(bitmap);
  }
  for (State state : {Normal, Hot, Pressed, Disabled}) {
    RenderStateImage(stateImages_[state].get(), sliceIndex[state], textColor[state]);
  }
  return 1;
}

void CCustomButton::RenderStateImage(Gdiplus::GpBitmap* target, int index, COLORREF color) {
  // a negative index leaves the picture fully transparent
  if (index < 0 || !target) return;
  Gdiplus::GpGraphics* raw = nullptr;
  gp::GdipGetImageGraphicsContext(reinterpret_cast<Gdiplus::GpImage*>(target), &raw);
  UniqueGdiplusGraphics graphics(raw);
  if (!graphics) return;
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  Gdiplus::GpTexture* texture = background_.texture();
  if (!texture) texture = background_.Capture(m_hWnd, parentWindow);
  if (texture) {
    gp::GdipFillRectangleI(graphics.get(), reinterpret_cast<Gdiplus::GpBrush*>(texture), 0, 0,
                           client.right - client.left, client.bottom - client.top);
  }
  float sliceWidth = 0;
  float stripHeight = 0;
  if (stripImage && stripImage->get() && sliceCount > 0) {
    sliceWidth = static_cast<float>(stripImage->Width()) / static_cast<float>(sliceCount);
    stripHeight = static_cast<float>(stripImage->Height());
    gp::GdipDrawImageRectRect(graphics.get(), stripImage->get(), 0, 0, sliceWidth, stripHeight,
                              static_cast<float>(index) * sliceWidth, 0, sliceWidth, stripHeight, Gdiplus::UnitPixel,
                              nullptr, nullptr, nullptr);
  }
  DrawCaption(graphics.get(), Gdiplus::RectF(0, 0, sliceWidth, stripHeight), color);
}

void CCustomButton::DrawCaption(Gdiplus::GpGraphics* surface, const Gdiplus::RectF& layout, COLORREF color) {
  std::array<wchar_t, kCaptionBufferUnits> text{};
  // at most 1022 characters of the caption are drawn
  ::GetWindowTextW(m_hWnd, text.data(), kCaptionBufferUnits - 1);
  if (text[0] == L'\0') return;
  Gdiplus::GpSolidFill* rawBrush = nullptr;
  gp::GdipCreateSolidFill(ToOpaqueArgb(color), &rawBrush);
  UniqueGdiplusSolidFill brush(rawBrush);
  Gdiplus::GpStringFormat* rawFormat = nullptr;
  gp::GdipCreateStringFormat(0, LANG_NEUTRAL, &rawFormat);
  UniqueGdiplusStringFormat format(rawFormat);
  if (format) {
    gp::GdipSetStringFormatAlign(format.get(), Gdiplus::StringAlignmentCenter);
    gp::GdipSetStringFormatLineAlign(format.get(), Gdiplus::StringAlignmentCenter);
  }
  gp::GdipSetTextRenderingHint(surface, Gdiplus::TextRenderingHintAntiAlias);
  Gdiplus::RectF box(layout.X, layout.Y - 5, layout.Width, layout.Height + 10);
  if (brush && captionFont_) {
    gp::GdipDrawString(surface, text.data(), -1, captionFont_.get(), &box, format.get(),
                       reinterpret_cast<Gdiplus::GpBrush*>(brush.get()));
  }
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CCustomButton::OnSize(UINT, WPARAM, LPARAM lParam, BOOL&) {
  const int width = LOWORD(lParam);
  const int height = HIWORD(lParam);
  if (width != cachedWidth_ || height != cachedHeight_) {
    ScopedLock lock(lock_);
    cachedWidth_ = width;
    cachedHeight_ = height;
    background_.Reset();
  }
  return 1;
}

LRESULT CCustomButton::OnSetFont(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  captionFont_.reset();
  // a plain window DC: BeginPaint here would validate a pending update region
  // and leave whatever was invalid unpainted
  {
    ScopedGetDC dc(m_hWnd);
    auto font = reinterpret_cast<HFONT>(wParam);
    LOGFONTW description{};
    Gdiplus::GpFont* made = nullptr;
    if (font && ::GetObjectW(font, sizeof(description), &description) == sizeof(description)) {
      gp::GdipCreateFontFromLogfontW(dc.get(), &description, &made);
    } else {
      gp::GdipCreateFontFromDC(dc.get(), &made);
    }
    captionFont_.reset(made);
    RebuildStateImages();
  }
  return DefWindowProc(message, wParam, lParam);
}

LRESULT CCustomButton::OnCustomDraw(NMHDR* header, BOOL& handled) {
  auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(header);
  switch (draw->dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_DOERASE;
    case CDDS_PREERASE: {
      ScopedLock lock(lock_);
      for (const auto& image : stateImages_) {
        if (!image) return CDRF_DODEFAULT;
      }
      Gdiplus::GpBitmap* picture = stateImages_[StateForItemState(draw->uItemState)].get();
      Gdiplus::GpGraphics* raw = nullptr;
      gp::GdipCreateFromHDC(draw->hdc, &raw);
      UniqueGdiplusGraphics graphics(raw);
      UINT width = 0;
      UINT height = 0;
      auto* image = reinterpret_cast<Gdiplus::GpImage*>(picture);
      gp::GdipGetImageWidth(image, &width);
      gp::GdipGetImageHeight(image, &height);
      if (graphics) {
        gp::GdipDrawImageRectI(graphics.get(), image, 0, 0, static_cast<INT>(width), static_cast<INT>(height));
      }
      return CDRF_SKIPDEFAULT;
    }
    case CDDS_POSTPAINT:
    case CDDS_POSTERASE:
    case CDDS_ITEMPREPAINT:
    case CDDS_ITEMPOSTPAINT:
    case CDDS_ITEMPREERASE:
    case CDDS_ITEMPOSTERASE:
    case CDDS_SUBITEM | CDDS_ITEMPREPAINT:
      return CDRF_DODEFAULT;
    default:
      handled = FALSE;
      return 0;
  }
}

LRESULT CCustomButton::OnReflectedNotify(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (!header || header->code != static_cast<UINT>(NM_CUSTOMDRAW)) {
    handled = FALSE;
    return 0;
  }
  return OnCustomDraw(header, handled);
}

BOOL CCustomButton::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                         DWORD) {
  MessageDispatch<CCustomButton> d(this, window, message, wParam, lParam, result);
  return d.Message(WM_SIZE, &CCustomButton::OnSize) || d.Message(WM_SETFONT, &CCustomButton::OnSetFont) ||
         d.Message(kReflectedNotify, &CCustomButton::OnReflectedNotify);
}
