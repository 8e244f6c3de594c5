// One owner type per kind of handle. Each closes its handle exactly once,
// and only a handle that is valid for its kind: INVALID_HANDLE_VALUE for
// files, null for keys, tokens, GDI objects and event sources.
#pragma once

#include <windows.h>

#include <utility>

#include "platform/win32/loaded_function.h"

namespace kolvane::win32 {

template <typename Traits>
class ScopedGeneric {
 public:
  using Handle = typename Traits::Handle;

  ScopedGeneric() = default;
  explicit ScopedGeneric(Handle handle) : handle_(handle) {}
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;
  ScopedGeneric(ScopedGeneric&& other) noexcept : handle_(other.release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~ScopedGeneric() { reset(); }

  bool is_valid() const { return handle_ != Traits::Invalid(); }
  Handle get() const { return handle_; }
  // For functions that return a handle through a pointer; the owner must
  // be empty.
  Handle* receive() { return &handle_; }
  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) {
    if (is_valid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};

// The event log's functions are looked up by name (advapi32 is always
// loaded): the import table then stays within its 512-byte block.
struct EventSourceTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { LoadedFunction<BOOL(WINAPI*)(HANDLE)>(L"advapi32.dll", "DeregisterEventSource")(h); }
};

// Memory the system allocated for the caller with LocalAlloc (a security
// descriptor made from its text form, for one).
struct LocalMemoryTraits {
  using Handle = PVOID;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::LocalFree(h); }
};

using ScopedFileHandle = ScopedGeneric<FileHandleTraits>;
using ScopedLocalMemory = ScopedGeneric<LocalMemoryTraits>;
using ScopedKernelHandle = ScopedGeneric<KernelHandleTraits>;
using ScopedRegKey = ScopedGeneric<RegKeyTraits>;
using ScopedGdiObject = ScopedGeneric<GdiObjectTraits>;
using ScopedEventSource = ScopedGeneric<EventSourceTraits>;

}  // namespace kolvane::win32
