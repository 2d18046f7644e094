// The files and the current directory of the fake world.
#include "fake_platform.h"
#include "files.h"
#include "text.h"

bool ReadFileBytes(const std::u16string& path, std::string& out) {
  fake::Record("ReadFileBytes(" + text::ToUtf8(path) + ")");
  const auto it = fake::State().files.find(path);
  if (it == fake::State().files.end()) return false;
  out = it->second;
  return true;
}

std::u16string CurrentDirectory() { return fake::State().currentDirectory; }
