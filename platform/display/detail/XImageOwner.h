#pragma once
// Owners of the Xlib images the X11 back end makes. TXImage owns an image whose pixels Xlib
// allocated (XGetImage); TXImageOver one laid over pixels a surface keeps (XCreateImage,
// XShmCreateImage), whose pixel pointer is let go before the image is destroyed, so Xlib never
// frees what it did not allocate.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

struct TXImageFree {
  void operator()(XImage* image) const noexcept { XDestroyImage(image); }
};

struct TXImageForget {
  void operator()(XImage* image) const noexcept
  {
    image->data = nullptr;
    XDestroyImage(image);
  }
};

using TXImage = std::unique_ptr<XImage, TXImageFree>;
using TXImageOver = std::unique_ptr<XImage, TXImageForget>;
