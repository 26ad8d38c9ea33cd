#pragma once
// Byte streams: the abstract TStream the parsers read through (so tests and fuzzers can feed
// memory) and TMemoryStream. File streams are in rtl/FileStream.h.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rtl/Object.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  // Moves the position; returns the new position from the beginning.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  // Truncates or extends the stream.
  virtual void SetSize(std::int64_t newSize) = 0;

  std::int64_t Position();
  void SetPosition(std::int64_t position);
  virtual std::int64_t Size();

  // Read or write exactly count bytes; a short transfer raises EReadError ("Stream read error")
  // or EWriteError ("Stream write error").
  void ReadBuffer(void* buffer, std::int64_t count);
  void WriteBuffer(const void* buffer, std::int64_t count);
  void ReadBuffer(std::span<std::byte> buffer)
  {
    ReadBuffer(buffer.data(), static_cast<std::int64_t>(buffer.size()));
  }
  void WriteBuffer(std::span<const std::byte> buffer)
  {
    WriteBuffer(buffer.data(), static_cast<std::int64_t>(buffer.size()));
  }

  // Copies count bytes from source's position (count 0: all of source from its beginning);
  // returns the number copied.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t newSize) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }

  void Clear();
  std::byte* Memory() noexcept { return FData.data(); }
  const std::byte* Memory() const noexcept { return FData.data(); }
  std::span<const std::byte> Bytes() const noexcept { return FData; }

  // Whole-file load and save through TFileStream (EFOpenError/EFCreateError on failure).
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);

 private:
  std::vector<std::byte> FData;
  std::int64_t FPosition = 0;
};
