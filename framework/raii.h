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
