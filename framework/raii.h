// Move-only owners for every acquire/release pair the program uses, each named
// after what it releases. Copying is deleted so that a handle has one owner.
#pragma once
#include <windows.h>

#include <utility>

// Traits give the type, its invalid value and its release call.
template <typename Traits>
class UniqueResource {
  using T = typename Traits::Type;
  static constexpr auto Release = Traits::Release;


 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : value_(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(std::exchange(other.value_, Invalid())) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Invalid()));
    return *this;
  }
  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid(); }
  T release() { return std::exchange(value_, Invalid()); }
  void reset(T value = Invalid()) {
    if (value_ != Invalid()) Release(value_);
    value_ = value;
  }

 private:
  static T Invalid() { return Traits::Invalid(); }
  T value_ = Invalid();
};

// CreateFile and friends fail with INVALID_HANDLE_VALUE ...
struct FileHandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Release(HANDLE h) { ::CloseHandle(h); }
};
using UniqueFileHandle = UniqueResource<FileHandleTraits>;

// ... threads, events, processes and snapshots with nullptr.
struct KernelHandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static void Release(HANDLE h) { ::CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// GDI objects (brushes, bitmaps, fonts) go back with DeleteObject.
template <typename Handle>
struct GdiObjectTraits {
  using Type = Handle;
  static Handle Invalid() { return nullptr; }
  static void Release(Handle h) { ::DeleteObject(h); }
};
using UniqueBrush = UniqueResource<GdiObjectTraits<HBRUSH>>;
using UniqueBitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;
using UniqueFont = UniqueResource<GdiObjectTraits<HFONT>>;

// A DC made by CreateCompatibleDC is deleted, never released.
struct MemoryDcTraits {
  using Type = HDC;
  static HDC Invalid() { return nullptr; }
  static void Release(HDC h) { ::DeleteDC(h); }
};
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// A window's DC from GetDC goes back with ReleaseDC for the same window.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~ScopedGetDC() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Puts back the object a DC held before, so the DC never owns ours when it is freed.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// BeginPaint is always paired with EndPaint for the same window.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) : window_(window) { dc_ = ::BeginPaint(window, &paint_); }
  ~ScopedPaint() { ::EndPaint(window_, &paint_); }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;
  HDC get() const { return dc_; }
  const PAINTSTRUCT& info() const { return paint_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

// Painting for WM_PAINT and WM_PRINTCLIENT: into the device context in wParam
// when there is one (a child capturing the picture under it asks so), else
// between BeginPaint and EndPaint.
template <typename PaintFunction>
void PaintClient(HWND window, WPARAM wParam, PaintFunction&& paint) {
  if (wParam) {
    paint(reinterpret_cast<HDC>(wParam));
  } else {
    ScopedPaint scoped(window);
    paint(scoped.get());
  }
}

// Service control manager and service handles.
struct ServiceHandleTraits {
  using Type = SC_HANDLE;
  static SC_HANDLE Invalid() { return nullptr; }
  static void Release(SC_HANDLE h) { ::CloseServiceHandle(h); }
};
using UniqueServiceHandle = UniqueResource<ServiceHandleTraits>;

// Sockets are closed with closesocket, never CloseHandle.
#include <winsock.h>
struct SocketTraits {
  using Type = SOCKET;
  static SOCKET Invalid() { return INVALID_SOCKET; }
  static void Release(SOCKET s) { ::closesocket(s); }
};
using UniqueSocket = UniqueResource<SocketTraits>;

// C runtime streams are closed with fclose.
#include <cstdio>
struct StdioFileTraits {
  using Type = FILE*;
  static FILE* Invalid() { return nullptr; }
  static void Release(FILE* f) { ::fclose(f); }
};
using UniqueStdioFile = UniqueResource<StdioFileTraits>;

// LoadImage icons are destroyed with DestroyIcon.
struct IconTraits {
  using Type = HICON;
  static HICON Invalid() { return nullptr; }
  static void Release(HICON icon) { ::DestroyIcon(icon); }
};
using UniqueIcon = UniqueResource<IconTraits>;
