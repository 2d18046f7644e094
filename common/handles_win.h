// Owners of what Windows hands out: each frees what it holds when it goes,
// so that no way out of a function frees by hand. Header only, no
// exceptions. The guards of the open clipboard and of an attached console
// sit beside their one use (clipboard_win.cpp, console_win.cpp). Windows
// only.
#pragma once

#include <windows.h>

// Holds one `Traits::Type`, freed with Traits::Free unless Traits::None
// says it is none. Moves, never copies.
template <typename Traits>
class Owned {
 public:
  typedef typename Traits::Type Type;

  Owned() : value_(Traits::Empty()) {}
  explicit Owned(Type value) : value_(value) {}
  Owned(Owned&& other) : value_(other.Release()) {}
  Owned& operator=(Owned&& other) {
    Reset(other.Release());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { Reset(); }

  Type Get() const { return value_; }
  bool Valid() const { return !Traits::None(value_); }
  // Gives up the value without freeing it (its new owner frees it).
  Type Release() {
    const Type value = value_;
    value_ = Traits::Empty();
    return value;
  }
  void Reset(Type value = Traits::Empty()) {
    if (!Traits::None(value_)) Traits::Free(value_);
    value_ = value;
  }

 private:
  Type value_;
};

// A kernel object's handle (a process, a file, a mutex, a snapshot): none is
// null or INVALID_HANDLE_VALUE, both of which Windows functions return.
// (GetCurrentProcess()'s pseudo handle is the latter: never owned.)
struct KernelHandleTraits {
  typedef HANDLE Type;
  static HANDLE Empty() { return nullptr; }
  static bool None(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
  static void Free(HANDLE handle) { CloseHandle(handle); }
};
typedef Owned<KernelHandleTraits> Handle;

// A block of global memory (GlobalAlloc), until the clipboard takes it
// (Release) or it is freed.
struct GlobalMemoryTraits {
  typedef HGLOBAL Type;
  static HGLOBAL Empty() { return nullptr; }
  static bool None(HGLOBAL memory) { return memory == nullptr; }
  static void Free(HGLOBAL memory) { GlobalFree(memory); }
};
typedef Owned<GlobalMemoryTraits> GlobalMemory;

// A block of global memory locked (GlobalLock) while this lives: Get() is its
// first byte as a T, or null when it could not be locked.
template <typename T>
class GlobalLocked {
 public:
  explicit GlobalLocked(HGLOBAL memory)
      : memory_(memory), data_(memory != nullptr ? static_cast<T*>(GlobalLock(memory)) : nullptr) {}
  GlobalLocked(const GlobalLocked&) = delete;
  GlobalLocked& operator=(const GlobalLocked&) = delete;
  ~GlobalLocked() {
    if (data_ != nullptr) GlobalUnlock(memory_);
  }
  T* Get() const { return data_; }
  // Bytes in the block (GlobalSize), which may be more than asked for.
  SIZE_T Size() const { return GlobalSize(memory_); }

 private:
  HGLOBAL memory_;
  T* data_;
};

// A window's device context (GetDC) while this lives (ReleaseDC).
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};
