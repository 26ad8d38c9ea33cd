#pragma once
// A stream that stands for a full disk: it passes everything to the stream it wraps until
// `budget` bytes have been written, then writes nothing more. Header-only; needs oxa_rtl.

#include <algorithm>
#include <cstdint>
#include <memory>

#include "rtl/Stream.h"

class TFailingStream : public TStream {
 public:
  TFailingStream(std::unique_ptr<TStream> inner, std::int64_t budget)
      : FInner(std::move(inner)), FBudget(budget)
  {
  }

  std::int64_t Read(void* buffer, std::int64_t count) override { return FInner->Read(buffer, count); }
  std::int64_t Write(const void* buffer, std::int64_t count) override
  {
    const std::int64_t allowed = std::min(count, FBudget);
    const std::int64_t written = allowed > 0 ? FInner->Write(buffer, allowed) : 0;
    FBudget -= written;
    return written;
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override { return FInner->Seek(offset, origin); }
  void SetSize(std::int64_t newSize) override { FInner->SetSize(newSize); }
  std::int64_t Size() override { return FInner->Size(); }

 private:
  std::unique_ptr<TStream> FInner;
  std::int64_t FBudget;
};
