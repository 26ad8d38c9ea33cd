#pragma once
// TRegistry: the runtime's registry object over the platform's Reg* calls. One current key at a
// time, opened below the root key (a path starting with "\" is taken from the root, any other
// from the current key when one is open).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/Registry.h"
#include "rtl/Exception.h"
#include "rtl/Object.h"
#include "rtl/StringList.h"

// "Failed to get data for '%s'", "Failed to set data for '%s'", "Invalid data type for '%s'".
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

class TRegistry : public TObject {
 public:
  // Root key HKEY_CURRENT_USER; keys are opened with `access`.
  explicit TRegistry(REGSAM access = KEY_ALL_ACCESS) noexcept : FAccess(access) {}
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const noexcept { return FRootKey; }
  // Closes the current key when the root changes.
  void SetRootKey(HKEY rootKey);
  HKEY CurrentKey() const noexcept { return FCurrentKey; }
  const std::string& CurrentPath() const noexcept { return FCurrentPath; }

  // Makes key the current key, creating it (and its parents) when canCreate; false when it
  // cannot be opened.
  bool OpenKey(const std::string& key, bool canCreate);
  // Opens an existing key for reading only.
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();
  bool CreateKey(const std::string& key);
  // Deletes the key with all its subkeys.
  bool DeleteKey(const std::string& key);
  bool KeyExists(const std::string& key);

  bool ValueExists(const std::string& name) const;
  bool DeleteValue(const std::string& name);
  // A missing value reads as ""; a value of another type raises ERegistryException.
  std::string ReadString(const std::string& name) const;
  // Reading a missing or non-integer value raises ERegistryException.
  std::int32_t ReadInteger(const std::string& name) const;
  bool ReadBool(const std::string& name) const;
  std::vector<BYTE> ReadBinaryData(const std::string& name) const;
  // Writing raises ERegistryException when the value cannot be stored.
  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, std::int32_t value);
  void WriteBool(const std::string& name, bool value);
  void WriteBinaryData(const std::string& name, const std::vector<BYTE>& data);

  // Replaces the list's contents with the names of the current key's subkeys or values.
  void GetKeyNames(TStringList& names) const;
  void GetValueNames(TStringList& names) const;

 private:
  HKEY BaseKey(bool relative) const noexcept;
  bool Open(const std::string& key, bool canCreate, REGSAM access);
  void PutData(const std::string& name, DWORD type, const BYTE* data, DWORD size);
  bool GetData(const std::string& name, DWORD& type, std::vector<BYTE>& data) const;

  HKEY FRootKey = HKEY_CURRENT_USER;
  HKEY FCurrentKey = nullptr;
  std::string FCurrentPath;
  REGSAM FAccess;
};
