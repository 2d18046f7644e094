// Image1's picture, decoded by the Windows Imaging Component.
#include "picture_win.h"

#include <objbase.h>
#include <wincodec.h>

#include "newer_windows_win.h"
#include "resource.h"

namespace {

// A picture larger than this is refused as damaged.
constexpr UINT kMaxPictureSide = 4096;

constexpr int kBytesPerPixel = 4;

template <typename T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// The bytes of the picture resource; false when it is missing.
bool PictureBytes(HINSTANCE instance, void*& bytes, DWORD& size) {
  HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(IDR_PICTURE), RT_RCDATA);
  HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
  bytes = loaded ? LockResource(loaded) : nullptr;
  size = resource ? SizeofResource(instance, resource) : 0;
  return bytes != nullptr && size != 0;
}

// A DIB section holding the converter's pixels; null on failure.
HBITMAP CopyToBitmap(IWICFormatConverter* converter, UINT w, UINT h) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(w);
  info.bmiHeader.biHeight = -static_cast<LONG>(h);  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = kBytesPerPixel * 8;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits &&
      SUCCEEDED(converter->CopyPixels(nullptr, w * kBytesPerPixel, w * h * kBytesPerPixel,
                                      static_cast<BYTE*>(bits)))) {
    return bitmap;
  }
  if (bitmap) DeleteObject(bitmap);
  return nullptr;
}

}  // namespace

Picture DecodePicture(HINSTANCE instance) {
  Picture picture;
  void* bytes = nullptr;
  DWORD size = 0;
  if (!PictureBytes(instance, bytes, size)) return picture;

  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  UINT w = 0, h = 0;
  bool ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
            SUCCEEDED(factory->CreateStream(&stream)) &&
            SUCCEEDED(stream->InitializeFromMemory(static_cast<BYTE*>(bytes), size)) &&
            SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                       &decoder)) &&
            SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
            SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                            nullptr, 0.0, WICBitmapPaletteTypeCustom)) &&
            SUCCEEDED(converter->GetSize(&w, &h)) && w > 0 && h > 0 && w <= kMaxPictureSide &&
            h <= kMaxPictureSide;
  if (ok) picture.bitmap = CopyToBitmap(converter, w, h);
  if (picture.bitmap) {
    picture.width = static_cast<int>(w);
    picture.height = static_cast<int>(h);
  }
  Release(converter);
  Release(frame);
  Release(decoder);
  Release(stream);
  Release(factory);
  return picture;
}

void DrawPicture(const DRAWITEMSTRUCT& item, const Picture& picture, int dpi) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  if (!picture.bitmap) return;
  HDC memory = CreateCompatibleDC(item.hDC);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, picture.bitmap);
  const int w = MulDiv(picture.width, dpi, newer_windows::kDefaultDpi);
  const int h = MulDiv(picture.height, dpi, newer_windows::kDefaultDpi);
  if (w == picture.width && h == picture.height) {
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, w, h, memory, 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(item.hDC, HALFTONE);
    SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    StretchBlt(item.hDC, item.rcItem.left, item.rcItem.top, w, h, memory, 0, 0, picture.width, picture.height,
               SRCCOPY);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
}

void FreePicture(Picture& picture) {
  if (picture.bitmap) DeleteObject(picture.bitmap);
  picture = Picture();
}
