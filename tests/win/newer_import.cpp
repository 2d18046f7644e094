// A program that imports a function newer than Windows XP (GetTickCount64,
// Vista) directly, as none of ours may: the import check must refuse it.
#include <windows.h>

int wmain() {
  return static_cast<int>(GetTickCount64() & 1);
}
