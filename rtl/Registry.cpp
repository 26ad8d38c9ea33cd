#include "rtl/Registry.h"

#include <cstring>

#include "platform/core/LastError.h"

namespace {

std::string Quoted(const char* text, const std::string& name)
{
  return std::string(text) + " '" + name + "'";
}

// Deletes path below base after its subkeys, deepest first.
bool DeleteKeyTree(HKEY base, const std::string& path)
{
  HKEY opened = nullptr;
  if (RegOpenKeyExA(base, path.c_str(), 0, KEY_ALL_ACCESS, &opened) == static_cast<LONG>(ERROR_SUCCESS)) {
    std::vector<std::string> children;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(opened, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          static_cast<LONG>(ERROR_SUCCESS)) {
        break;
      }
      children.emplace_back(name, length);
    }
    for (const auto& child : children) {
      DeleteKeyTree(opened, child);
    }
    RegCloseKey(opened);
  }
  return RegDeleteKeyA(base, path.c_str()) == static_cast<LONG>(ERROR_SUCCESS);
}

}  // namespace

TRegistry::~TRegistry()
{
  CloseKey();
}

void TRegistry::SetRootKey(HKEY rootKey)
{
  if (rootKey != FRootKey) {
    CloseKey();
    FRootKey = rootKey;
  }
}

HKEY TRegistry::BaseKey(bool relative) const noexcept
{
  return (FCurrentKey == nullptr || !relative) ? FRootKey : FCurrentKey;
}

bool TRegistry::Open(const std::string& key, bool canCreate, REGSAM access)
{
  const bool relative = key.empty() || key.front() != '\\';
  std::string path = relative ? key : key.substr(1);
  HKEY opened = nullptr;
  LONG result = 0;
  if (!canCreate || path.empty()) {
    result = RegOpenKeyExA(BaseKey(relative), path.c_str(), 0, access, &opened);
  } else {
    result = RegCreateKeyExA(BaseKey(relative), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                             nullptr, &opened, nullptr);
  }
  if (result != static_cast<LONG>(ERROR_SUCCESS)) {
    return false;
  }
  while (!path.empty() && path.back() == '\\') {
    path.pop_back();
  }
  if (relative && !FCurrentPath.empty()) {
    path = path.empty() ? FCurrentPath : FCurrentPath + "\\" + path;
  }
  CloseKey();
  FCurrentKey = opened;
  FCurrentPath = std::move(path);
  return true;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
  return Open(key, canCreate, FAccess);
}

bool TRegistry::OpenKeyReadOnly(const std::string& key)
{
  return Open(key, false, KEY_READ);
}

void TRegistry::CloseKey()
{
  if (FCurrentKey != nullptr) {
    RegCloseKey(FCurrentKey);
    FCurrentKey = nullptr;
    FCurrentPath.clear();
  }
}

bool TRegistry::CreateKey(const std::string& key)
{
  const bool relative = key.empty() || key.front() != '\\';
  HKEY created = nullptr;
  const std::string path = relative ? key : key.substr(1);
  if (RegCreateKeyExA(BaseKey(relative), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr,
                      &created, nullptr) != static_cast<LONG>(ERROR_SUCCESS)) {
    return false;
  }
  RegCloseKey(created);
  return true;
}

bool TRegistry::KeyExists(const std::string& key)
{
  const bool relative = key.empty() || key.front() != '\\';
  HKEY opened = nullptr;
  const std::string path = relative ? key : key.substr(1);
  if (RegOpenKeyExA(BaseKey(relative), path.c_str(), 0, KEY_READ, &opened) !=
      static_cast<LONG>(ERROR_SUCCESS)) {
    return false;
  }
  RegCloseKey(opened);
  return true;
}

bool TRegistry::DeleteKey(const std::string& key)
{
  const bool relative = key.empty() || key.front() != '\\';
  std::string path = relative ? key : key.substr(1);
  while (!path.empty() && path.back() == '\\') {
    path.pop_back();
  }
  if (path.empty()) {
    return false;
  }
  return DeleteKeyTree(BaseKey(relative), path);
}

bool TRegistry::GetData(const std::string& name, DWORD& type, std::vector<BYTE>& data) const
{
  DWORD size = 0;
  if (FCurrentKey == nullptr || RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, nullptr, &size) !=
                                    static_cast<LONG>(ERROR_SUCCESS)) {
    return false;
  }
  data.resize(size);
  for (;;) {
    size = static_cast<DWORD>(data.size());
    const LONG result = RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, data.data(), &size);
    if (result == static_cast<LONG>(ERROR_MORE_DATA)) {
      data.resize(size);  // another process made it longer meanwhile
      continue;
    }
    data.resize(size);
    return result == static_cast<LONG>(ERROR_SUCCESS);
  }
}

void TRegistry::PutData(const std::string& name, DWORD type, const BYTE* data, DWORD size)
{
  if (FCurrentKey == nullptr ||
      RegSetValueExA(FCurrentKey, name.c_str(), 0, type, data, size) != static_cast<LONG>(ERROR_SUCCESS)) {
    throw ERegistryException(Quoted("Failed to set data for", name));
  }
}

bool TRegistry::ValueExists(const std::string& name) const
{
  DWORD type = 0;
  DWORD size = 0;
  return FCurrentKey != nullptr && RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, nullptr,
                                                    &size) == static_cast<LONG>(ERROR_SUCCESS);
}

bool TRegistry::DeleteValue(const std::string& name)
{
  return FCurrentKey != nullptr &&
         RegDeleteValueA(FCurrentKey, name.c_str()) == static_cast<LONG>(ERROR_SUCCESS);
}

std::string TRegistry::ReadString(const std::string& name) const
{
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!GetData(name, type, data)) {
    return {};
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    throw ERegistryException(Quoted("Invalid data type for", name));
  }
  std::string text(data.begin(), data.end());
  if (const auto end = text.find('\0'); end != std::string::npos) {
    text.resize(end);
  }
  return text;
}

std::int32_t TRegistry::ReadInteger(const std::string& name) const
{
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!GetData(name, type, data)) {
    throw ERegistryException(Quoted("Failed to get data for", name));
  }
  if (type != REG_DWORD || data.size() != 4) {
    throw ERegistryException(Quoted("Invalid data type for", name));
  }
  std::int32_t value = 0;
  std::memcpy(&value, data.data(), sizeof value);
  return value;
}

bool TRegistry::ReadBool(const std::string& name) const
{
  return ReadInteger(name) != 0;
}

std::vector<BYTE> TRegistry::ReadBinaryData(const std::string& name) const
{
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!GetData(name, type, data)) {
    throw ERegistryException(Quoted("Failed to get data for", name));
  }
  if (type != REG_BINARY) {
    throw ERegistryException(Quoted("Invalid data type for", name));
  }
  return data;
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
  PutData(name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
}

void TRegistry::WriteInteger(const std::string& name, std::int32_t value)
{
  BYTE data[4];
  std::memcpy(data, &value, sizeof data);
  PutData(name, REG_DWORD, data, sizeof data);
}

void TRegistry::WriteBool(const std::string& name, bool value)
{
  WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteBinaryData(const std::string& name, const std::vector<BYTE>& data)
{
  PutData(name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

void TRegistry::GetKeyNames(TStringList& names) const
{
  names.Clear();
  char name[256];
  for (DWORD i = 0; FCurrentKey != nullptr; ++i) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(FCurrentKey, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        static_cast<LONG>(ERROR_SUCCESS)) {
      break;
    }
    names.Add(std::string(name, length));
  }
}

void TRegistry::GetValueNames(TStringList& names) const
{
  names.Clear();
  std::vector<char> name(16384);
  for (DWORD i = 0; FCurrentKey != nullptr; ++i) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumValueA(FCurrentKey, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        static_cast<LONG>(ERROR_SUCCESS)) {
      break;
    }
    names.Add(std::string(name.data(), length));
  }
}
