// Skin images loaded from the program's "PNG" resources, and the captured piece
// of a parent window's picture that lets a child control look transparent.
#pragma once
#include <windows.h>

#include <memory>

#include "framework/gdiplus_raii.h"

// A decoded image with the decoder's status. Bytes that do not decode give an
// image whose width and height read 0.
class SkinImage {
 public:
  SkinImage(Gdiplus::GpImage* image, Gdiplus::GpStatus status) : image_(image), status_(status) {}
  Gdiplus::GpImage* get() const { return image_.get(); }
  Gdiplus::GpStatus status() const { return status_; }
  UINT Width() const;
  UINT Height() const;

 private:
  UniqueGdiplusImage image_;
  Gdiplus::GpStatus status_;
};

// A field that holds at most one image.
using ImageSlot = std::unique_ptr<SkinImage>;

// Decodes the resource of type "PNG" with this id from the program's module; null when missing.
ImageSlot LoadSkinImage(int id);
// Disposes of the slot's image, then loads id into it; returns the stored image (null on failure).
SkinImage* SetSkinImage(ImageSlot& slot, int id);

// The parent's picture under a child window: a tiling texture brush, the bitmap
// it tiles and a GDI pattern brush of the same pixels, made and released together.
class CBackgroundBrush {
 public:
  CBackgroundBrush() = default;
  ~CBackgroundBrush() { Reset(); }
  CBackgroundBrush(const CBackgroundBrush&) = delete;
  CBackgroundBrush& operator=(const CBackgroundBrush&) = delete;

  // Has the parent paint itself into memory (WM_PAINT with the DC in wParam)
  // and keeps the rectangle the child covers. Returns the texture brush, or null
  // (holder unchanged) when a handle is null.
  Gdiplus::GpTexture* Capture(HWND child, HWND parent);
  void Reset();

  bool empty() const { return !texture_; }
  Gdiplus::GpTexture* texture() const { return texture_.get(); }
  Gdiplus::GpBitmap* bitmap() const { return bitmap_.get(); }
  HBRUSH patternBrush() const { return patternBrush_.get(); }

 private:
  UniqueGdiplusTexture texture_;
  UniqueGdiplusBitmap bitmap_;
  UniqueBrush patternBrush_;
};
