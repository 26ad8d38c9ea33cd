#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "platform/core/ByteOrder.h"
#include "platform/files/Registry.h"
#include "rtl/Strings.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

namespace {

constexpr const char* Usage =
    "usage: oxa-lib reg get KEY VALUE [--json] | reg set KEY VALUE DATA [--type sz|dword|binary] | "
    "reg list KEY [--json]\n"
    "  KEY starts with HKCU\\ or HKLM\\ (HKCU when neither); DATA of a binary value in hex\n";

// "HKLM\Software\X" -> HKEY_LOCAL_MACHINE and "Software\X".
HKEY SplitRoot(const std::string& key, std::string& path)
{
  const auto cut = key.find('\\');
  const std::string first = UpperCase(key.substr(0, cut));
  const std::string rest = cut == std::string::npos ? std::string() : key.substr(cut + 1);
  if (first == "HKCU" || first == "HKEY_CURRENT_USER") {
    path = rest;
    return HKEY_CURRENT_USER;
  }
  if (first == "HKLM" || first == "HKEY_LOCAL_MACHINE") {
    path = rest;
    return HKEY_LOCAL_MACHINE;
  }
  path = key;
  return HKEY_CURRENT_USER;
}

std::string Hex(const std::vector<BYTE>& data)
{
  std::string text;
  char digits[3];
  for (const BYTE b : data) {
    std::snprintf(digits, sizeof digits, "%02x", b);
    text += digits;
  }
  return text;
}

std::string TypeName(DWORD type)
{
  switch (type) {
    case REG_SZ:
      return "sz";
    case REG_EXPAND_SZ:
      return "expand_sz";
    case REG_DWORD:
      return "dword";
    case REG_BINARY:
      return "binary";
    default:
      return "type " + std::to_string(type);
  }
}

std::string Show(DWORD type, const std::vector<BYTE>& data)
{
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
  }
  if (type == REG_DWORD && data.size() == 4) {
    return std::to_string(ByteOrder::LoadLE32(data.data()));
  }
  return Hex(data);
}

class TOpenKey {
 public:
  TOpenKey(const std::string& key, bool create)
  {
    std::string path;
    const HKEY root = SplitRoot(key, path);
    Result = create
                 ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey, nullptr)
                 : RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &FKey);
  }
  ~TOpenKey()
  {
    if (Result == 0) {
      RegCloseKey(FKey);
    }
  }
  TOpenKey(const TOpenKey&) = delete;
  TOpenKey& operator=(const TOpenKey&) = delete;
  HKEY Get() const noexcept { return FKey; }
  LONG Result = 0;

 private:
  HKEY FKey = nullptr;
};

bool ParseData(const std::string& type, const std::string& text, DWORD& regType, std::vector<BYTE>& data)
{
  if (type == "sz") {
    regType = REG_SZ;
    data.assign(text.begin(), text.end());
    data.push_back(0);
    return true;
  }
  if (type == "dword") {
    regType = REG_DWORD;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || value > 0xFFFFFFFFULL) {
      return false;
    }
    const auto number = static_cast<std::uint32_t>(value);
    data.resize(4);
    ByteOrder::StoreLE32(data.data(), number);
    return true;
  }
  if (type == "binary") {
    regType = REG_BINARY;
    if (text.size() % 2 != 0) {
      return false;
    }
    for (std::size_t i = 0; i < text.size(); i += 2) {
      char* end = nullptr;
      const std::string pair = text.substr(i, 2);
      const long value = std::strtol(pair.c_str(), &end, 16);
      if (*end != '\0') {
        return false;
      }
      data.push_back(static_cast<BYTE>(value));
    }
    return true;
  }
  return false;
}

// reg get KEY VALUE: one value, as text.
int GetValue(const TArguments& arguments, const std::string& key, const std::string& value, std::ostream& out,
             std::ostream& err)
{
  const TOpenKey open(key, false);
  DWORD type = 0;
  DWORD size = 0;
  LONG result = open.Result;
  std::vector<BYTE> data;
  if (result == 0) {
    result = RegQueryValueExA(open.Get(), value.c_str(), nullptr, &type, nullptr, &size);
    data.resize(size);
    if (result == 0) {
      result = RegQueryValueExA(open.Get(), value.c_str(), nullptr, &type, data.data(), &size);
    }
  }
  if (result != 0) {
    err << "reg: " << key << " \"" << value << "\": " << (open.Result != 0 ? "no such key" : "no such value")
        << '\n';
    return ExitFailure;
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject().Key("type").String(TypeName(type)).Key("data").String(Show(type, data)).EndObject();
  } else {
    out << Show(type, data) << '\n';
  }
  return ExitSuccess;
}

// reg set KEY VALUE DATA [--type sz|dword|binary]: writes one value, creating the key.
int SetValue(const TArguments& arguments, const std::string& key, const std::string& value,
             const std::string& text, std::ostream& err)
{
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!ParseData(arguments.Option("type").value_or("sz"), text, type, data)) {
    err << Usage;
    return ExitUsage;
  }
  const TOpenKey open(key, true);
  LONG result = open.Result;
  if (result == 0) {
    result = RegSetValueExA(open.Get(), value.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
  }
  if (result != 0) {
    err << "reg: cannot write " << key << " \"" << value << "\" (error " << result << ")\n";
    return ExitFailure;
  }
  return ExitSuccess;
}

// reg list KEY: the subkeys and the values of a key.
int ListKey(const TArguments& arguments, const std::string& key, std::ostream& out, std::ostream& err)
{
  const TOpenKey open(key, false);
  if (open.Result != 0) {
    err << "reg: " << key << ": no such key\n";
    return ExitFailure;
  }
  std::vector<std::string> keys;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(open.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != 0) {
      break;
    }
    keys.emplace_back(name, length);
  }
  struct TValue {
    std::string Name;
    DWORD Type;
    std::vector<BYTE> Data;
  };
  std::vector<TValue> values;
  std::vector<char> valueName(16384);
  for (DWORD i = 0;; ++i) {
    DWORD length = static_cast<DWORD>(valueName.size());
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueA(open.Get(), i, valueName.data(), &length, nullptr, &type, nullptr, &size) != 0) {
      break;
    }
    TValue value{std::string(valueName.data(), length), type, std::vector<BYTE>(size)};
    length = static_cast<DWORD>(valueName.size());
    RegEnumValueA(open.Get(), i, valueName.data(), &length, nullptr, &type, value.Data.data(), &size);
    values.push_back(std::move(value));
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject().Key("keys").BeginArray();
    for (const auto& k : keys) {
      json.String(k);
    }
    json.EndArray().Key("values").BeginArray();
    for (const auto& v : values) {
      json.BeginObject()
          .Key("name")
          .String(v.Name)
          .Key("type")
          .String(TypeName(v.Type))
          .Key("data")
          .String(Show(v.Type, v.Data))
          .EndObject();
    }
    json.EndArray().EndObject();
  } else {
    for (const auto& k : keys) {
      out << k << "\\\n";
    }
    for (const auto& v : values) {
      out << (v.Name.empty() ? "(default)" : v.Name) << " = " << Show(v.Type, v.Data) << "  ("
          << TypeName(v.Type) << ")\n";
    }
  }
  return ExitSuccess;
}

}  // namespace

int RunReg(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {"type"});
  const auto& words = arguments.Positional();
  if (!arguments.Error().empty() || words.size() < 2) {
    err << Usage;
    return ExitUsage;
  }
  const std::string& action = words[0];
  if (action == "get" && words.size() == 3) {
    return GetValue(arguments, words[1], words[2], out, err);
  }
  if (action == "set" && words.size() == 4) {
    return SetValue(arguments, words[1], words[2], words[3], err);
  }
  if (action == "list" && words.size() == 2) {
    return ListKey(arguments, words[1], out, err);
  }
  err << Usage;
  return ExitUsage;
}
