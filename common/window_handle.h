// A window handle as the portable code carries it: an integer. Only the low
// 32 bits are significant on Windows; 0 means no window.
#pragma once

#include <cstdint>

typedef std::uintptr_t WindowHandle;
