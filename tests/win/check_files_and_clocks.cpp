// Checks of the clocks, the current directory and the reading of files.
#include "check.h"

#include <winioctl.h>

#include <string>

#include "boxes.h"
#include "files.h"
#include "handles_win.h"
#include "waiting.h"
#include "wide_win.h"

void CheckClocks() {
  Check check{"clocks", {}, {}};
  const double a = MonotonicSeconds();
  Sleep(50);
  const double b = MonotonicSeconds();
  Expect(check, b - a >= 0.04 && b - a < 60.0, "MonotonicSeconds did not follow a 50 ms sleep");
  Beep();
  Finish(check);
}

constexpr char kNoJapaneseNames[] =
    "this Wine cannot store Japanese file names (its Unix locale has no UTF-8 code set); an ASCII name was used";

void CheckCurrentDirectory() {
  Check check{"current_directory", {}, {}};
  const std::u16string original = CurrentDirectory();
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
  Expect(check, !original.empty() && original == wide::FromWide(buffer, length), "gives " + Show(original));
  std::u16string leaf = u"\\作業フォルダ";
  std::u16string inner = TempDirectory() + leaf;
  if (!CreateDirectoryW(wide::Ptr(inner), nullptr)) {
    check.untried = kNoJapaneseNames;
    leaf = u"\\work folder";
    inner = TempDirectory() + leaf;
    CreateDirectoryW(wide::Ptr(inner), nullptr);
  }
  if (SetCurrentDirectoryW(wide::Ptr(inner))) {
    const std::u16string now = CurrentDirectory();
    Expect(check, now.size() >= leaf.size() && now.compare(now.size() - leaf.size(), leaf.size(), leaf) == 0,
           "in " + Show(inner) + " gives " + Show(now));
    SetCurrentDirectoryW(wide::Ptr(original));
  } else {
    check.problems.push_back("could not enter " + Show(inner));
  }
  RemoveDirectoryW(wide::Ptr(inner));
  Finish(check);
}

void CheckReadFile() {
  Check check{"read_file_bytes", {}, {}};
  const std::u16string directory = TempDirectory();
  std::u16string path = directory + u"\\テンプレート.txt";
  const std::string bytes("\x81\xa1 a\0b\r\n\xff", 9);
  if (!WriteBytes(path, bytes)) {
    check.untried = kNoJapaneseNames;
    path = directory + u"\\template.txt";
    Expect(check, WriteBytes(path, bytes), "could not write the sample");
  }
  std::string got = "stale";
  bool read = ReadFileBytes(path, got);
  Expect(check, read && got == bytes, "sample read as " + Num(static_cast<long long>(got.size())) + " bytes");

  const std::u16string emptyPath = directory + u"\\empty.txt";
  WriteBytes(emptyPath, "");
  got = "stale";
  read = ReadFileBytes(emptyPath, got);
  Expect(check, read && got.empty(), "empty file");

  got = "stale";
  read = ReadFileBytes(directory + u"\\missing.txt", got);
  Expect(check, !read && got.empty(), "missing file reported success or left data");
  Expect(check, !ReadFileBytes(directory, got), "a directory reported success");
  Expect(check, !ReadFileBytes(u"", got), "the empty path reported success");
  Expect(check, !ReadFileBytes(path + std::u16string(u"\0x", 2), got), "a path with a NUL reported success");

  // Locked: another handle holds the file without sharing.
  Handle lock(CreateFileW(wide::Ptr(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  Expect(check, lock.Valid(), "could not lock the sample");
  if (lock.Valid()) {
    Expect(check, !ReadFileBytes(path, got), "a locked file reported success");
    lock.Reset();
    Expect(check, ReadFileBytes(path, got) && got == bytes, "not readable once unlocked");
  }
  // Open for writing by another program, with sharing: still readable.
  const Handle writer(CreateFileW(wide::Ptr(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  if (writer.Valid()) {
    Expect(check, ReadFileBytes(path, got) && got == bytes, "not readable while open for writing elsewhere");
  }

  // Over 1 GiB (a sparse file, so nothing is really written): refused.
  const std::u16string hugePath = directory + u"\\huge.bin";
  Handle huge(CreateFileW(wide::Ptr(hugePath), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (huge.Valid()) {
    DWORD ignored = 0;
    DeviceIoControl(huge.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = (1LL << 30) + 1;
    const bool sized = SetFilePointerEx(huge.Get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(huge.Get());
    huge.Reset();
    if (sized) {
      Expect(check, !ReadFileBytes(hugePath, got) && got.empty(), "a file over 1 GiB reported success");
    } else {
      check.untried = "could not make a file over 1 GiB; that case not tried";
    }
    DeleteFileW(wide::Ptr(hugePath));
  }
  DeleteFileW(wide::Ptr(path));
  DeleteFileW(wide::Ptr(emptyPath));
  Finish(check);
}
