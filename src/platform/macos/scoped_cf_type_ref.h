// Owns one reference to a Core Foundation or Core Graphics object under the
// Create/Copy rule and releases it when it goes: CF objects are not managed by
// ARC, and a release written by hand is easily missed on an early return.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <utility>

namespace velmoryn::mac {

template <typename T>
class ScopedCFTypeRef {
 public:
  ScopedCFTypeRef() = default;
  // Takes over a reference the caller owns (from a Create or Copy call); null is allowed.
  explicit ScopedCFTypeRef(T object) : object(object) {}
  ~ScopedCFTypeRef() { reset(); }

  ScopedCFTypeRef(const ScopedCFTypeRef&) = delete;
  ScopedCFTypeRef& operator=(const ScopedCFTypeRef&) = delete;
  ScopedCFTypeRef(ScopedCFTypeRef&& other) noexcept : object(other.release()) {}
  ScopedCFTypeRef& operator=(ScopedCFTypeRef&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  T get() const { return object; }
  explicit operator bool() const { return object != nullptr; }

  // Releases what is held and takes over `replacement`.
  void reset(T replacement = nullptr) {
    if (object != nullptr) CFRelease(object);
    object = replacement;
  }
  // Hands the reference to the caller, who must release it.
  [[nodiscard]] T release() { return std::exchange(object, nullptr); }

 private:
  T object = nullptr;
};

}  // namespace velmoryn::mac
