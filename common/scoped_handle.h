// One owner for every Windows handle that the package's C++ code holds: an
// open registry key, a LocalAlloc, GlobalAlloc or heap block, a security
// descriptor, a SID, a device information set, a printer, a file search, a
// file or a loaded library. The owner closes its handle once, with the call that belongs to
// how the handle was obtained; it cannot be copied, only moved, and
// release() hands the handle to whoever takes over closing it.
//
// A traits record describes each kind: the handle's type, the value that
// means "no handle" and the call that closes one. A block that goes back to
// a particular heap keeps that heap in its traits. Everything here is
// inline and calls only the closing function of its kind, so a DLL that
// uses an owner imports exactly what it would import closing by hand.
#pragma once

#include <windows.h>
#include <aclapi.h>
#include <setupapi.h>
#include <winspool.h>

#include <utility>

namespace kvt {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() noexcept : handle_(Traits::Invalid()) {}
  explicit ScopedHandle(Handle handle, Traits traits = Traits()) noexcept : traits_(traits), handle_(handle) {}
  ~ScopedHandle() { Close(); }

  ScopedHandle(const ScopedHandle &) = delete;
  ScopedHandle &operator=(const ScopedHandle &) = delete;

  ScopedHandle(ScopedHandle &&other) noexcept : traits_(other.traits_), handle_(other.release()) {}
  // Closes what this owner holds before it takes over the other's handle.
  ScopedHandle &operator=(ScopedHandle &&other) noexcept {
    if (this != &other) {
      Close();
      traits_ = other.traits_;
      handle_ = other.release();
    }
    return *this;
  }

  Handle get() const noexcept { return handle_; }

  // Gives the handle up without closing it; the owner is empty afterwards.
  Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  // Closes the handle held, if any, and owns `handle` from now on.
  void reset(Handle handle = Traits::Invalid()) noexcept {
    if (handle != handle_) {
      Close();
      handle_ = handle;
    }
  }

  // Empties the owner and gives the address of its handle, for a call that
  // stores a new handle through an output parameter. A call that fails
  // without storing anything leaves the owner empty.
  Handle *receive() noexcept {
    reset();
    return &handle_;
  }

  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

 private:
  void Close() noexcept {
    if (handle_ != Traits::Invalid()) {
      traits_.Close(handle_);
    }
  }

  [[no_unique_address]] Traits traits_;
  Handle handle_;
};

// Registry keys. The predefined roots (HKEY_CURRENT_USER and the others)
// belong to the system, and a call such as RegOpenKeyExA with an empty
// subkey may hand one back: those are held but never closed.
struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return NULL; }
  static bool IsPredefined(Handle key) {
    // The roots are the handle values 0x80000000 to 0x80000060, sign-extended
    // where pointers are wider than 32 bits.
    return reinterpret_cast<ULONG_PTR>(key) - reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) <= 0x60;
  }
  static void Close(Handle key) {
    if (!IsPredefined(key)) {
      RegCloseKey(key);
    }
  }
};

// Blocks from LocalAlloc, and what the system allocates that way for its
// caller (security descriptors from GetSecurityInfo, FormatMessage texts).
template <typename T>
struct LocalBlockTraits {
  using Handle = T *;
  static Handle Invalid() { return NULL; }
  static void Close(Handle block) { LocalFree(const_cast<void *>(static_cast<const void *>(block))); }
};

template <typename T>
struct GlobalBlockTraits {
  using Handle = T *;
  static Handle Invalid() { return NULL; }
  static void Close(Handle block) { GlobalFree(const_cast<void *>(static_cast<const void *>(block))); }
};

// A block of `heap`, freed into that same heap.
template <typename T>
struct HeapBlockTraits {
  using Handle = T *;
  HANDLE heap = NULL;
  static Handle Invalid() { return NULL; }
  void Close(Handle block) const { HeapFree(heap, 0, const_cast<void *>(static_cast<const void *>(block))); }
};

// SIDs from AllocateAndInitializeSid.
struct SidTraits {
  using Handle = PSID;
  static Handle Invalid() { return NULL; }
  static void Close(Handle sid) { FreeSid(sid); }
};

// Device information sets: a failed SetupDiGetClassDevsA or
// SetupDiCreateDeviceInfoList returns INVALID_HANDLE_VALUE, not null.
struct DeviceInfoSetTraits {
  using Handle = HDEVINFO;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle set) { SetupDiDestroyDeviceInfoList(set); }
};

struct PrinterTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return NULL; }
  static void Close(Handle printer) { ClosePrinter(printer); }
};

// Searches from FindFirstFileA.
struct FindTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle search) { FindClose(search); }
};

// Files from CreateFileA.
struct FileTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle file) { CloseHandle(file); }
};

#ifdef _WIN32
// Libraries loaded with LoadLibraryA. Over the platform layer no library is
// loaded: the hosts have theirs linked in.
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return NULL; }
  static void Close(Handle module) { FreeLibrary(module); }
};
using ScopedModule = ScopedHandle<ModuleTraits>;
#endif

using ScopedKey = ScopedHandle<RegKeyTraits>;
template <typename T = VOID>
using ScopedLocalBlock = ScopedHandle<LocalBlockTraits<T>>;
template <typename T = VOID>
using ScopedGlobalBlock = ScopedHandle<GlobalBlockTraits<T>>;
template <typename T = VOID>
using ScopedHeapBlock = ScopedHandle<HeapBlockTraits<T>>;
using ScopedSecurityDescriptor = ScopedHandle<LocalBlockTraits<VOID>>;
using ScopedSid = ScopedHandle<SidTraits>;
using ScopedDeviceInfoSet = ScopedHandle<DeviceInfoSetTraits>;
using ScopedPrinter = ScopedHandle<PrinterTraits>;
using ScopedFind = ScopedHandle<FindTraits>;
using ScopedFile = ScopedHandle<FileTraits>;

// Takes `block` of `heap` into an owner that frees it into that heap.
template <typename T>
ScopedHeapBlock<T> HeapBlockOf(HANDLE heap, T *block) {
  return ScopedHeapBlock<T>(block, HeapBlockTraits<T>{heap});
}

}  // namespace kvt
