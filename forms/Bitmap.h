#pragma once
// TBitmap: a plain platform bitmap. A device-independent section for the formats with a bit
// count (rows bottom-up, reachable through ScanLine), a bitmap compatible with the screen for
// pfDevice. Changing the format or the size makes a new bitmap and copies the part of the old
// picture that fits; a width or height of 0 leaves no bitmap at all.

#include <cstdint>

#include "forms/GdiHandles.h"
#include "rtl/Exception.h"
#include "rtl/Object.h"

// The formats in the order of their codes (0 device-dependent ... 8 custom).
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// A bitmap was asked for what it cannot give ("Scan line index out of range").
class EInvalidGraphicOperation : public Exception {
 public:
  using Exception::Exception;
};

class TBitmap : public TObject {
 public:
  TBitmap() = default;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // Null while the bitmap is empty.
  HBITMAP Handle() const noexcept { return FHandle.Get(); }
  TPixelFormat PixelFormat() const noexcept { return FPixelFormat; }
  int Width() const noexcept { return FWidth; }
  int Height() const noexcept { return FHeight; }
  // Each raises EOSError when the platform cannot make the new bitmap (the old one stays then).
  void SetPixelFormat(TPixelFormat format);
  void SetWidth(int width);
  void SetHeight(int height);

  // The address of row `row` (0 = top). Rows of a section are bottom-up, so the rows below
  // follow at lower addresses. EInvalidGraphicOperation for a row outside the bitmap or a
  // bitmap without directly reachable pixels (empty, device-dependent).
  std::uint8_t* ScanLine(int row) const;

 private:
  void Change(int width, int height, TPixelFormat format);

  TGdiObject<HBITMAP> FHandle;
  std::uint8_t* FBits = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  int FStride = 0;
  TPixelFormat FPixelFormat = pfDevice;
};

// Bits per pixel of the formats that have a bit count (15-bit is stored in 16), 0 otherwise.
int BitsOfPixelFormat(TPixelFormat format) noexcept;
// Bytes of a row of a section: a multiple of 4.
int SectionStride(int bitsPerPixel, int width) noexcept;
// A bitmap of the format: a section (with the system palette as colour table for 8 bits or
// fewer; *bits receives the pixel address) or, for pfDevice and pfCustom, a bitmap compatible
// with the screen (*bits null). Raises EOSError.
TGdiObject<HBITMAP> CreateBitmapOfFormat(int width, int height, TPixelFormat format, std::uint8_t** bits);
// Copies the top-left part both bitmaps hold from one to the other. Raises EOSError.
void CopyBitmapPicture(HBITMAP target, HBITMAP source, int width, int height);
