// Move-only owners of GDI+ flat-API objects, one per release call. Kept apart
// from raii.h so that code without GDI+ does not pull in its headers.
#pragma once
#include <windows.h>
// the GDI+ headers expect the COM interfaces and min/max to be declared first
#include <objidl.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include "framework/raii.h"

namespace gp = Gdiplus::DllExports;

template <typename T, Gdiplus::GpStatus(WINGDIPAPI* Delete)(T*)>
struct GdiplusTraits {
  using Type = T*;
  static T* Invalid() { return nullptr; }
  static void Release(T* p) { Delete(p); }
};

inline Gdiplus::GpStatus WINGDIPAPI DeleteGdiplusBrush(Gdiplus::GpBrush* p) { return gp::GdipDeleteBrush(p); }
inline Gdiplus::GpStatus WINGDIPAPI DeleteGdiplusTexture(Gdiplus::GpTexture* p) {
  return gp::GdipDeleteBrush(reinterpret_cast<Gdiplus::GpBrush*>(p));
}
inline Gdiplus::GpStatus WINGDIPAPI DeleteGdiplusSolidFill(Gdiplus::GpSolidFill* p) {
  return gp::GdipDeleteBrush(reinterpret_cast<Gdiplus::GpBrush*>(p));
}
inline Gdiplus::GpStatus WINGDIPAPI DisposeGdiplusBitmap(Gdiplus::GpBitmap* p) {
  return gp::GdipDisposeImage(reinterpret_cast<Gdiplus::GpImage*>(p));
}

using UniqueGdiplusImage = UniqueResource<GdiplusTraits<Gdiplus::GpImage, gp::GdipDisposeImage>>;
using UniqueGdiplusBitmap = UniqueResource<GdiplusTraits<Gdiplus::GpBitmap, DisposeGdiplusBitmap>>;
using UniqueGdiplusTexture = UniqueResource<GdiplusTraits<Gdiplus::GpTexture, DeleteGdiplusTexture>>;
using UniqueGdiplusSolidFill = UniqueResource<GdiplusTraits<Gdiplus::GpSolidFill, DeleteGdiplusSolidFill>>;
using UniqueGdiplusGraphics = UniqueResource<GdiplusTraits<Gdiplus::GpGraphics, gp::GdipDeleteGraphics>>;
using UniqueGdiplusFont = UniqueResource<GdiplusTraits<Gdiplus::GpFont, gp::GdipDeleteFont>>;
using UniqueGdiplusFontFamily = UniqueResource<GdiplusTraits<Gdiplus::GpFontFamily, gp::GdipDeleteFontFamily>>;
using UniqueGdiplusStringFormat =
    UniqueResource<GdiplusTraits<Gdiplus::GpStringFormat, gp::GdipDeleteStringFormat>>;

// Opaque ARGB from a COLORREF (0x00BBGGRR): alpha 0xFF, red from the low byte.
constexpr Gdiplus::ARGB ToOpaqueArgb(COLORREF color) {
  return 0xFF000000u | (static_cast<Gdiplus::ARGB>(GetRValue(color)) << 16) |
         (static_cast<Gdiplus::ARGB>(GetGValue(color)) << 8) | GetBValue(color);
}

// GDI+ for the process (or a test): started in the constructor, shut down in the destructor.
class GdiplusSession {
 public:
  GdiplusSession() {
    // version 1, no debug callback, background thread and external codecs kept
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
  }
  ~GdiplusSession() {
    if (token_) Gdiplus::GdiplusShutdown(token_);
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

 private:
  ULONG_PTR token_ = 0;
};
