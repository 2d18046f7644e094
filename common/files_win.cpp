// Files and folders on Windows.
#include <windows.h>

#include <string>
#include <vector>

#include "files.h"
#include "handles_win.h"
#include "wide_win.h"

namespace {

constexpr ULONGLONG kMaxFileBytes = 1ULL << 30;

}  // namespace

std::u16string CurrentDirectory() {
  // The directory may change between the sizing call and the read; try again
  // then, a few times.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return std::u16string();
    std::vector<wchar_t> buffer(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, buffer.data());
    if (length == 0) return std::u16string();
    if (length < needed) return wide::FromWide(buffer.data(), length);
  }
  return std::u16string();
}

bool ReadFileBytes(const std::u16string& path, std::string& out) {
  out.clear();
  // A path with a NUL in it would name another file to the system.
  if (path.empty() || path.find(u'\0') != std::u16string::npos) return false;
  const Handle file(CreateFileW(wide::Ptr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  LARGE_INTEGER size;
  // Only plain files on disk: a directory, a console or a pipe is refused
  // (reading a console would wait for typing).
  if (!file.Valid() || GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !GetFileSizeEx(file.Get(), &size) ||
      size.QuadPart < 0 || static_cast<ULONGLONG>(size.QuadPart) > kMaxFileBytes) {
    return false;
  }
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  char chunk[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), chunk, sizeof(chunk), &got, nullptr)) return false;
    if (got == 0) break;
    if (bytes.size() + got > kMaxFileBytes) return false;  // grew past the limit while read
    bytes.append(chunk, got);
  }
  out.swap(bytes);
  return true;
}
