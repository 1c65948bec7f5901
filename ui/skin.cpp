#include "ui/skin.h"

#include <cstring>

UINT SkinImage::Width() const {
  UINT width = 0;
  if (image_) gp::GdipGetImageWidth(image_.get(), &width);
  return width;
}

UINT SkinImage::Height() const {
  UINT height = 0;
  if (image_) gp::GdipGetImageHeight(image_.get(), &height);
  return height;
}

namespace {

struct GlobalFreeTraits {
  using Type = HGLOBAL;
  static HGLOBAL Invalid() { return nullptr; }
  static void Release(HGLOBAL h) { ::GlobalFree(h); }
};

struct StreamTraits {
  using Type = IStream*;
  static IStream* Invalid() { return nullptr; }
  static void Release(IStream* s) { s->Release(); }
};

}  // namespace

ImageSlot LoadSkinImage(int id) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  if (!found) return nullptr;
  HGLOBAL resource = ::LoadResource(module, found);
  if (!resource) return nullptr;
  DWORD size = ::SizeofResource(module, found);
  const void* bytes = ::LockResource(resource);
  if (!bytes || size == 0) return nullptr;
  // the stream owns a movable copy; releasing the stream frees it
  UniqueResource<GlobalFreeTraits> block(::GlobalAlloc(GMEM_MOVEABLE, size));
  if (!block) return nullptr;
  void* target = ::GlobalLock(block.get());
  if (!target) return nullptr;
  std::memcpy(target, bytes, size);
  ::GlobalUnlock(block.get());
  IStream* raw = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(block.get(), TRUE, &raw)) || !raw) return nullptr;
  block.release();
  UniqueResource<StreamTraits> stream(raw);
  Gdiplus::GpImage* image = nullptr;
  Gdiplus::GpStatus status = gp::GdipLoadImageFromStream(stream.get(), &image);
  return std::make_unique<SkinImage>(image, status);
}

SkinImage* SetSkinImage(ImageSlot& slot, int id) {
  slot.reset();
  slot = LoadSkinImage(id);
  return slot.get();
}

Gdiplus::GpTexture* CBackgroundBrush::Capture(HWND child, HWND parent) {
  if (!child || !parent) return nullptr;
  Reset();
  RECT parentRect{};
  ::GetWindowRect(parent, &parentRect);
  const int parentWidth = parentRect.right - parentRect.left;
  const int parentHeight = parentRect.bottom - parentRect.top;
  ScopedGetDC parentDc(parent);
  UniqueMemoryDc wholeDc(::CreateCompatibleDC(parentDc.get()));
  UniqueBitmap wholeBitmap(::CreateCompatibleBitmap(parentDc.get(), parentWidth, parentHeight));
  if (!wholeDc || !wholeBitmap) return nullptr;
  ScopedSelectObject selectWhole(wholeDc.get(), wholeBitmap.get());
  // the parent paints its whole client area into a DC handed over in wParam
  ::SendMessageW(parent, WM_PAINT, reinterpret_cast<WPARAM>(wholeDc.get()),
                 PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);

  RECT childRect{};
  ::GetWindowRect(child, &childRect);
  const int width = childRect.right - childRect.left;
  const int height = childRect.bottom - childRect.top;
  UniqueMemoryDc pieceDc(::CreateCompatibleDC(wholeDc.get()));
  // wholeDc holds the parent-size colour bitmap, so this one is colour too
  UniqueBitmap pieceBitmap(::CreateCompatibleBitmap(wholeDc.get(), width, height));
  if (!pieceDc || !pieceBitmap) return nullptr;
  {
    ScopedSelectObject selectPiece(pieceDc.get(), pieceBitmap.get());
    POINT corners[2] = {{childRect.left, childRect.top}, {childRect.right, childRect.bottom}};
    ::MapWindowPoints(HWND_DESKTOP, parent, corners, 2);
    ::BitBlt(pieceDc.get(), 0, 0, width, height, wholeDc.get(), corners[0].x, corners[0].y, SRCCOPY);
  }
  UniqueBrush pattern(::CreatePatternBrush(pieceBitmap.get()));
  Gdiplus::GpBitmap* bitmap = nullptr;
  gp::GdipCreateBitmapFromHBITMAP(pieceBitmap.get(), nullptr, &bitmap);
  UniqueGdiplusBitmap ownedBitmap(bitmap);
  Gdiplus::GpTexture* texture = nullptr;
  if (bitmap) gp::GdipCreateTexture(reinterpret_cast<Gdiplus::GpImage*>(bitmap), Gdiplus::WrapModeTile, &texture);
  UniqueGdiplusTexture ownedTexture(texture);
  // all three or none
  if (!pattern || !ownedBitmap || !ownedTexture) return nullptr;
  patternBrush_ = std::move(pattern);
  bitmap_ = std::move(ownedBitmap);
  texture_ = std::move(ownedTexture);
  return texture_.get();
}

void CBackgroundBrush::Reset() {
  patternBrush_.reset();
  texture_.reset();
  bitmap_.reset();
}
