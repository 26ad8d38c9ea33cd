// TOxaBitmaps: the named image store and its Data blob.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "rtl/Stream.h"

namespace {

char Lower(char ch) noexcept
{
  return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch;
}

std::uint32_t ReadWord(const std::uint8_t* p) noexcept
{
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

void WriteWord(TStream& stream, std::uint32_t value)
{
  const std::uint8_t bytes[4] = {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                                 std::uint8_t(value >> 24)};
  stream.WriteBuffer(bytes, 4);
}

// Where a name is or belongs in the sorted list.
template <class TList>
std::size_t LowerBound(const TList& names, std::string_view name) noexcept
{
  std::size_t low = 0;
  std::size_t high = names.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (OxaCompareNames(names[middle].Name, name) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

// Bytes read in place: a blob is read without first being copied into a stream of its own.
class TBytesStream : public TStream {
 public:
  explicit TBytesStream(std::string_view bytes) : FBytes(bytes) {}
  std::int64_t Read(void* buffer, std::int64_t count) override
  {
    const std::int64_t left = std::int64_t(FBytes.size()) - FPosition;
    const std::int64_t taken = std::max<std::int64_t>(0, std::min(count, left));
    if (taken > 0) {
      std::memcpy(buffer, FBytes.data() + FPosition, std::size_t(taken));
      FPosition += taken;
    }
    return taken;
  }
  std::int64_t Write(const void* /*buffer*/, std::int64_t /*count*/) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override
  {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                              : origin == TSeekOrigin::soCurrent ? FPosition
                                                                 : std::int64_t(FBytes.size());
    FPosition = std::clamp<std::int64_t>(base + offset, 0, std::int64_t(FBytes.size()));
    return FPosition;
  }
  void SetSize(std::int64_t /*newSize*/) override { throw EOxaFatal("TBytesStream.SetSize: Read only"); }
  std::int64_t Size() override { return std::int64_t(FBytes.size()); }

 private:
  std::string_view FBytes;
  std::int64_t FPosition = 0;
};

}  // namespace

int OxaCompareNames(std::string_view a, std::string_view b) noexcept
{
  const std::size_t length = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < length; ++i) {
    const auto x = static_cast<unsigned char>(Lower(a[i]));
    const auto y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

TOxaBitmaps::TOxaBitmaps(TComponent* owner)
    : TOxaChainedObject(owner), FOwned(NewList()), FRevision(NextRevision())
{
}

std::uint64_t TOxaBitmaps::NextRevision() noexcept
{
  static std::atomic<std::uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

TOxaStoreStamp::TOxaStoreStamp(const TOxaBitmaps* store) noexcept
{
  for (; store != nullptr; store = store->Parent()) {
    if (FCount == Depth) {
      FDeep = true;
      return;
    }
    FLinks[FCount++] = {store, store->Revision()};
  }
}

bool TOxaStoreStamp::operator==(const TOxaStoreStamp& other) const noexcept
{
  return !FDeep && !other.FDeep && FCount == other.FCount && FLinks == other.FLinks;
}

TOxaBitmaps::~TOxaBitmaps()
{
  FClearing = true;
  FOwned.reset();
  FNames.clear();
}

std::unique_ptr<TOxaObjects> TOxaBitmaps::NewList()
{
  auto list = std::make_unique<TOxaObjects>(this);
  list->OnRemove = MakeMethod<&TOxaBitmaps::BitmapRemoved>(this);
  return list;
}

void TOxaBitmaps::BitmapRemoved(TObject* object)
{
  if (FClearing) {
    return;
  }
  const auto found = std::find_if(FNames.begin(), FNames.end(),
                                  [object](const TEntry& entry) { return entry.Bitmap == object; });
  if (found != FNames.end()) {
    FNames.erase(found);
    Revise();
    Changed();
  }
}

const std::string& TOxaBitmaps::Names(int index) const
{
  if (index < 0 || index >= Count()) {
    throw EOxaFatal(ClassName() + ".Names: Index out of bounds");
  }
  return FNames[std::size_t(index)].Name;
}

TOxaBitmap* TOxaBitmaps::Bitmaps(int index) const
{
  if (index < 0 || index >= Count()) {
    throw EOxaFatal(ClassName() + ".Bitmaps: Index out of bounds");
  }
  return Made(FNames[std::size_t(index)]);
}

int TOxaBitmaps::PendingCount() const noexcept
{
  return int(std::count_if(FNames.begin(), FNames.end(),
                           [](const TEntry& entry) { return entry.Bitmap == nullptr; }));
}

TOxaBitmap* TOxaBitmaps::Made(const TEntry& entry) const
{
  if (entry.Bitmap != nullptr) {
    return entry.Bitmap;
  }
  // The record was checked when the blob was read, so only a lack of memory can stop it now;
  // the entry then stays as it is for the next lookup.
  auto* bitmap = new TOxaBitmap(FOwned.get());  // owned by FOwned
  try {
    TBytesStream stream(entry.Record);
    bitmap->LoadFromStream(stream);
  } catch (...) {
    FreeObject(bitmap);
    throw;
  }
  entry.Bitmap = bitmap;
  return bitmap;
}

TOxaBitmap* TOxaBitmaps::Find(std::string_view name) const noexcept
{
  // The chain is free of cycles (SetParent sees to it), so this ends.
  for (const TOxaBitmaps* store = this; store != nullptr; store = store->Parent()) {
    const std::size_t at = LowerBound(store->FNames, name);
    if (at < store->FNames.size() && OxaCompareNames(store->FNames[at].Name, name) == 0) {
      try {
        return store->Made(store->FNames[at]);
      } catch (...) {
        return nullptr;
      }
    }
  }
  return nullptr;
}

TOxaBitmap* TOxaBitmaps::Add(const std::string& name, const TOxaBitmap& bitmap)
{
  if (name.size() > kOxaMaxStoreName) {
    throw EOxaFatal(ClassName() + ".Add: Name too long");
  }
  TOxaBitmap* stored = new TOxaBitmap(FOwned.get());  // owned by FOwned
  try {
    stored->Assign(bitmap);
  } catch (...) {
    FreeObject(stored);
    throw;
  }
  Store(TEntry{name, stored, {}});
  return stored;
}

void TOxaBitmaps::AddFrom(const std::string& name, const TOxaBitmaps& source, int index)
{
  if (index < 0 || index >= source.Count()) {
    throw EOxaFatal(ClassName() + ".AddFrom: Index out of bounds");
  }
  const TEntry& from = source.FNames[std::size_t(index)];
  if (from.Bitmap != nullptr || &source == this) {
    Add(name, *source.Made(from));
    return;
  }
  if (name.size() > kOxaMaxStoreName) {
    throw EOxaFatal(ClassName() + ".AddFrom: Name too long");
  }
  for (const auto& keeper : source.FKeepers) {
    if (std::find(FKeepers.begin(), FKeepers.end(), keeper) == FKeepers.end()) {
      FKeepers.push_back(keeper);
    }
  }
  Store(TEntry{name, nullptr, from.Record});
}

void TOxaBitmaps::Store(TEntry entry)
{
  const std::size_t at = LowerBound(FNames, entry.Name);
  if (at < FNames.size() && OxaCompareNames(FNames[at].Name, entry.Name) == 0) {
    TOxaBitmap* old = FNames[at].Bitmap;
    FNames[at] = std::move(entry);
    if (old != nullptr) {
      FClearing = true;
      FreeObject(old);
      FClearing = false;
    }
  } else {
    FNames.insert(FNames.begin() + std::ptrdiff_t(at), std::move(entry));
  }
  Revise();
  Changed();
}

void TOxaBitmaps::Clear()
{
  if (FNames.empty()) {
    return;
  }
  std::unique_ptr<TOxaObjects> old = std::exchange(FOwned, NewList());
  FNames.clear();
  FKeepers.clear();
  Revise();
  FClearing = true;
  old.reset();
  FClearing = false;
  Changed();
}

void TOxaBitmaps::Assign(const TPersistent& source)
{
  const auto* store = dynamic_cast<const TOxaBitmaps*>(&source);
  if (store == nullptr) {
    TOxaGraphicsObject::Assign(source);
    return;
  }
  if (store == this) {
    return;
  }
  BeginUpdate();
  try {
    Clear();
    SetParent(store->Parent());
    for (const TEntry& entry : store->FNames) {
      Add(entry.Name, *store->Made(entry));
    }
    FNote = store->FNote;
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TOxaBitmaps::ReadData(std::string_view bytes)
{
  auto keeper = std::make_shared<const std::string>(bytes);
  const std::string_view kept(*keeper);
  ReadBytes(kept, std::move(keeper));
}

void TOxaBitmaps::ReadData(std::string&& bytes)
{
  auto keeper = std::make_shared<const std::string>(std::move(bytes));
  const std::string_view kept(*keeper);
  ReadBytes(kept, std::move(keeper));
}

void TOxaBitmaps::ReadStaticData(std::string_view bytes)
{
  ReadBytes(bytes, nullptr);
}

void TOxaBitmaps::ReadBytes(std::string_view bytes, std::shared_ptr<const std::string> keeper)
{
  const auto invalid = [this]() { throw EOxaFatal(ClassName() + ".LoadFromStream: Invalid graphic format"); };
  std::size_t at = 0;
  const auto word = [&]() {
    if (bytes.size() - at < 4) {
      invalid();
    }
    const std::uint32_t value = ReadWord(reinterpret_cast<const std::uint8_t*>(bytes.data() + at));
    at += 4;
    return value;
  };
  const auto text = [&](std::uint32_t length, std::uint32_t cap) {
    if (length > cap || length > bytes.size() - at) {
      invalid();
    }
    std::string value(bytes.substr(at, length));
    at += length;
    return value;
  };

  // The same checks as reading from a stream, every record's included, so that a blob is
  // refused here or never: a record found bad on its first lookup could no longer be refused.
  std::vector<TEntry> names;
  std::string note = text(word(), kOxaMaxStoreNote);
  const std::uint32_t count = word();
  if (count > kOxaMaxStoreCount) {
    invalid();
  }
  names.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string name = text(word(), kOxaMaxStoreName);
    if (!names.empty() && OxaCompareNames(names.back().Name, name) >= 0) {
      invalid();
    }
    const std::int64_t left = std::int64_t(bytes.size() - at);
    std::uint8_t header[kOxaImageHeaderSize] = {};
    if (left >= kOxaImageHeaderSize) {
      std::memcpy(header, bytes.data() + at, kOxaImageHeaderSize);
    }
    const std::int64_t length = OxaImageRecordSize(header, left);
    if (length < 0) {
      // What the image itself raises when a stream is read.
      throw EOxaFatal("TOxaBitmap.LoadFromStream: Invalid graphic format");
    }
    names.push_back(TEntry{std::move(name), nullptr, bytes.substr(at, std::size_t(length))});
    at += std::size_t(length);
  }

  BeginUpdate();
  std::unique_ptr<TOxaObjects> old = std::exchange(FOwned, NewList());
  FNames = std::move(names);
  FNote = std::move(note);
  FKeepers.clear();
  if (keeper) {
    FKeepers.push_back(std::move(keeper));
  }
  Revise();
  FClearing = true;
  old.reset();
  FClearing = false;
  Changed();
  EndUpdate();
}

void TOxaBitmaps::ReadData(TStream& stream)
{
  const std::int64_t start = stream.Position();
  const auto invalid = [&]() {
    stream.SetPosition(start);
    throw EOxaFatal(ClassName() + ".LoadFromStream: Invalid graphic format");
  };
  const auto word = [&]() {
    if (stream.Size() - stream.Position() < 4) {
      invalid();
    }
    std::uint8_t bytes[4];
    stream.ReadBuffer(bytes, 4);
    return ReadWord(bytes);
  };
  const auto text = [&](std::uint32_t length, std::uint32_t cap) {
    if (length > cap || std::int64_t(length) > stream.Size() - stream.Position()) {
      invalid();
    }
    std::string value(length, '\0');
    if (length > 0) {
      stream.ReadBuffer(value.data(), length);
    }
    return value;
  };

  // Read into a list of its own; the store changes only when the whole blob is good.
  std::unique_ptr<TOxaObjects> list = std::make_unique<TOxaObjects>(this);
  std::vector<TEntry> names;
  std::string note = text(word(), kOxaMaxStoreNote);
  const std::uint32_t count = word();
  if (count > kOxaMaxStoreCount) {
    invalid();
  }
  names.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string name = text(word(), kOxaMaxStoreName);
    // Names come in the store's order, each once: what is read is written back the same.
    if (!names.empty() && OxaCompareNames(names.back().Name, name) >= 0) {
      invalid();
    }
    auto* bitmap = new TOxaBitmap(list.get());  // owned by list
    try {
      bitmap->LoadFromStream(stream);
    } catch (const EOxaFatal&) {
      stream.SetPosition(start);
      throw;
    }
    names.push_back(TEntry{std::move(name), bitmap, {}});
  }

  BeginUpdate();
  list->OnRemove = MakeMethod<&TOxaBitmaps::BitmapRemoved>(this);
  std::swap(list, FOwned);
  FNames = std::move(names);
  FNote = std::move(note);
  FKeepers.clear();
  Revise();
  FClearing = true;
  list.reset();
  FClearing = false;
  Changed();
  EndUpdate();
}

void TOxaBitmaps::WriteData(TStream& stream) const
{
  WriteWord(stream, std::uint32_t(FNote.size()));
  if (!FNote.empty()) {
    stream.WriteBuffer(FNote.data(), std::int64_t(FNote.size()));
  }
  WriteWord(stream, std::uint32_t(FNames.size()));
  for (const TEntry& entry : FNames) {
    WriteWord(stream, std::uint32_t(entry.Name.size()));
    if (!entry.Name.empty()) {
      stream.WriteBuffer(entry.Name.data(), std::int64_t(entry.Name.size()));
    }
    Made(entry)->SaveToStream(stream);
  }
}

std::string TOxaBitmaps::Data() const
{
  TMemoryStream stream;
  WriteData(stream);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.Size()));
}
