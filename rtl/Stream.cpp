#include "rtl/Stream.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "rtl/Exception.h"
#include "rtl/FileStream.h"

std::int64_t TStream::Position()
{
  return Seek(0, TSeekOrigin::soCurrent);
}

void TStream::SetPosition(std::int64_t position)
{
  Seek(position, TSeekOrigin::soBeginning);
}

std::int64_t TStream::Size()
{
  const std::int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count)
{
  if (count != 0 && Read(buffer, count) != count) {
    throw EReadError("Stream read error");
  }
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count)
{
  if (count != 0 && Write(buffer, count) != count) {
    throw EWriteError("Stream write error");
  }
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::array<std::byte, 64 * 1024> buffer{};
  std::int64_t copied = 0;
  while (copied < count) {
    const auto chunk = std::min<std::int64_t>(count - copied, static_cast<std::int64_t>(buffer.size()));
    source.ReadBuffer(buffer.data(), chunk);
    WriteBuffer(buffer.data(), chunk);
    copied += chunk;
  }
  return copied;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count)
{
  const auto size = static_cast<std::int64_t>(FData.size());
  if (count <= 0 || FPosition >= size) {
    return 0;
  }
  const std::int64_t available = std::min(count, size - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(available));
  FPosition += available;
  return available;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count)
{
  if (count <= 0) {
    return 0;
  }
  const std::int64_t end = FPosition + count;
  if (end > static_cast<std::int64_t>(FData.size())) {
    FData.resize(static_cast<std::size_t>(end));
  }
  std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
  FPosition = end;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
  std::int64_t base = 0;
  switch (origin) {
    case TSeekOrigin::soBeginning:
      break;
    case TSeekOrigin::soCurrent:
      base = FPosition;
      break;
    case TSeekOrigin::soEnd:
      base = static_cast<std::int64_t>(FData.size());
      break;
  }
  // Past the end is allowed (a later write fills the gap with zeros); before the start is not.
  FPosition = std::max<std::int64_t>(0, base + offset);
  return FPosition;
}

void TMemoryStream::SetSize(std::int64_t newSize)
{
  FData.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, newSize)));
  FPosition = std::min(FPosition, static_cast<std::int64_t>(FData.size()));
}

void TMemoryStream::Clear()
{
  FData.clear();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream)
{
  stream.SetPosition(0);
  const std::int64_t size = stream.Size();
  FData.resize(static_cast<std::size_t>(size));
  stream.ReadBuffer(FData.data(), size);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& stream)
{
  stream.WriteBuffer(FData.data(), static_cast<std::int64_t>(FData.size()));
}

void TMemoryStream::LoadFromFile(const std::string& fileName)
{
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& fileName)
{
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}
