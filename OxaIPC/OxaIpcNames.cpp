// Interned names: the process's cache and the shared name list.

#include <algorithm>

#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcGuard.h"
#include "rtl/AnsiText.h"

namespace {

// The cache's key: the upper case, by bytes for plain ASCII (the common case, and the fast one).
std::string CacheKey(std::string_view name)
{
  std::string key(name);
  for (char& c : key) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return AnsiUpperCase(name);
    }
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return key;
}

// AnsiSameText, with a fast path for two plain ASCII names.
bool SameName(std::string_view a, std::string_view b)
{
  if (a.size() != b.size()) {
    const auto ascii = [](std::string_view text) {
      return std::all_of(text.begin(), text.end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    if (ascii(a) && ascii(b)) {
      return false;
    }
    return AnsiSameText(a, b);
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) {
      return AnsiSameText(a, b);
    }
    if (x != y && !(x >= 'a' && x <= 'z' && x - 'a' + 'A' == y) &&
        !(y >= 'a' && y <= 'z' && y - 'a' + 'A' == x)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::uint32_t TOxaIpc::NameToId(const std::string& given)
{
  // A name is a C string in shared memory: it ends at its first zero.
  const std::string_view name = std::string_view(given).substr(0, given.find('\0'));
  if (name.empty() || name == "*" || !FActive) {
    return 0;
  }
  const std::string key = CacheKey(name);
  const auto cached = FCache.find(key);
  if (cached != FCache.end() && SameName(cached->second->Name, name)) {
    return cached->second->Id;
  }
  const std::uint32_t id = Guarded(std::uint32_t{0}, [&]() -> std::uint32_t {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return 0;
    }
    TOxaIpcBody body = Body();
    TOxaIpcBody::TWalk walk(body, "name");
    for (std::uint32_t record = body.Header().Names; record != 0;) {
      walk.Step();
      const auto head = body.Read<TOxaIpcNameRecord>(record);
      if (SameName(body.RecordName(record), name)) {
        return head.Id;
      }
      record = head.Next;
    }
    const std::uint32_t record = AllocShared(OxaIpcNameRecordSize(name.size()));
    if (record == 0) {
      return 0;
    }
    const std::uint32_t newId = NextId();
    body = Body();
    TOxaIpcBodyHeader header = body.Header();
    body.Write(record, TOxaIpcNameRecord{header.Names, newId});
    body.WriteBytes(record, sizeof(TOxaIpcNameRecord), std::string(name).c_str(),
                    static_cast<std::uint32_t>(name.size() + 1));
    header.Names = record;
    body.SetHeader(header);
    return newId;
  });
  if (id != 0 && FActive) {
    FCache[key] = std::make_unique<TOxaIpcNameItem>(id, std::string(name));
  }
  return id;
}

void TOxaIpc::ResolveNames()
{
  // One walk of the name list finds every configured name already there (on a busy bus the
  // list is long); the rest are interned one by one.
  RequireCurrent();
  TOxaIpcBody body = Body();
  TOxaIpcBody::TWalk walk(body, "name");
  for (auto& entry : FNames) {
    entry.second = 0;
  }
  for (std::uint32_t record = body.Header().Names; record != 0;) {
    walk.Step();
    const auto head = body.Read<TOxaIpcNameRecord>(record);
    const std::string name = body.RecordName(record);
    for (auto& [wanted, id] : FNames) {
      if (id == 0 && !wanted.empty() && SameName(name, wanted)) {
        id = head.Id;
        FCache[CacheKey(wanted)] = std::make_unique<TOxaIpcNameItem>(id, name);
      }
    }
    record = head.Next;
  }
  for (auto& [name, id] : FNames) {
    if (id == 0) {
      id = NameToId(name);
    }
  }
}

std::string TOxaIpc::IdToName(std::uint32_t id)
{
  if (id == 0 || !FActive) {
    return {};
  }
  return Guarded(std::string(), [&]() -> std::string {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return {};
    }
    TOxaIpcBody body = Body();
    TOxaIpcBody::TWalk walk(body, "name");
    for (std::uint32_t record = body.Header().Names; record != 0;) {
      walk.Step();
      const auto head = body.Read<TOxaIpcNameRecord>(record);
      if (head.Id == id) {
        return body.RecordName(record);
      }
      record = head.Next;
    }
    return {};
  });
}

std::vector<std::pair<std::uint32_t, std::string>> TOxaIpc::Names()
{
  using TNames = std::vector<std::pair<std::uint32_t, std::string>>;
  return Guarded(TNames(), [&]() -> TNames {
    TOxaIpcBusLock lock(*this, LockTimeout);
    TNames names;
    if (!lock) {
      return names;
    }
    TOxaIpcBody body = Body();
    TOxaIpcBody::TWalk walk(body, "name");
    for (std::uint32_t record = body.Header().Names; record != 0;) {
      walk.Step();
      const auto head = body.Read<TOxaIpcNameRecord>(record);
      names.emplace_back(head.Id, body.RecordName(record));
      record = head.Next;
    }
    return names;
  });
}
