// Owning handles of GDI objects: each deletes its object when it goes or is
// given another, so no exit path frees a font, brush or bitmap by hand.
// Windows only.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct DeleteGdiObject {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

template <class Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, DeleteGdiObject>;

using OwnedFont = GdiObject<HFONT>;
using OwnedBrush = GdiObject<HBRUSH>;
using OwnedBitmap = GdiObject<HBITMAP>;
