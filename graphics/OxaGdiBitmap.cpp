#include "graphics/OxaGdiBitmap.h"

#include <new>

#include "framework/OxaUtils.h"

TOxaMemoryBitmap* TOxaMemoryBitmap::Create()
{
  return new TOxaMemoryBitmap();
}

void TOxaMemoryBitmap::AddRef() noexcept
{
  FRefCount.fetch_add(1, std::memory_order_relaxed);
}

void TOxaMemoryBitmap::Release() noexcept
{
  if (FRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete this;
  }
}

void TOxaMemoryBitmap::SetSize(std::size_t bytes)
{
  FBuffer.reset();
  FSize = 0;
  if (bytes == 0) {
    return;
  }
  FBuffer.reset(new (std::nothrow) std::uint8_t[bytes]);
  if (FBuffer == nullptr) {
    throw EOxaOutOfMemory("TOxaMemoryBitmap.SetSize: Out of memory");
  }
  FSize = bytes;
}
