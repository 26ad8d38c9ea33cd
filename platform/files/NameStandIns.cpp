#include "platform/files/NameStandIns.h"

#include <cstdint>

#include "platform/files/detail/Utf8Sequences.h"

namespace {

constexpr char32_t StandInBase = 0xF000;
// Every stand-in is U+F000..U+F0FF, whose UTF-8 begins with this byte: a name without it holds none.
constexpr std::uint8_t StandInLead = 0xEF;

// The bytes a Windows name cannot hold as themselves.
bool IsForbiddenByte(std::uint8_t byte) noexcept
{
  return (byte >= 0x01 && byte < 0x20) || byte == '"' || byte == '*' || byte == ':' || byte == '<' ||
         byte == '>' || byte == '?' || byte == '\\' || byte == '|';
}

// The bytes whose stand-ins HostNameOf turns back: the forbidden ones, and those of a literal
// stand-in's UTF-8 (all from 0x80 up). "/" and the zero byte are never among them.
bool HasStandIn(std::uint8_t byte) noexcept
{
  return IsForbiddenByte(byte) || byte >= 0x80;
}

void AppendStandIn(std::string& out, std::uint8_t byte)
{
  AppendUtf8(out, StandInBase + byte);
}

// Whether code is the stand-in of a byte, and which.
bool IsStandIn(char32_t code, std::uint8_t& byte) noexcept
{
  if (code < StandInBase || code > StandInBase + 0xFF) {
    return false;
  }
  byte = static_cast<std::uint8_t>(code - StandInBase);
  return HasStandIn(byte);
}

}  // namespace

bool HostNameNeedsStandIns(std::string_view hostName) noexcept
{
  for (const char c : hostName) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (IsForbiddenByte(byte) || byte == StandInLead) {
      return true;
    }
  }
  return false;
}

namespace {

std::string WindowsFormOf(std::string_view hostName, bool wildcards)
{
  if (!HostNameNeedsStandIns(hostName)) {
    return std::string(hostName);
  }
  std::string out;
  out.reserve(hostName.size() + 8);
  std::size_t pos = 0;
  while (pos < hostName.size()) {
    const auto byte = static_cast<std::uint8_t>(hostName[pos]);
    if (wildcards && (byte == '*' || byte == '?')) {
      out += hostName[pos];
      ++pos;
    } else if (IsForbiddenByte(byte)) {
      AppendStandIn(out, byte);
      ++pos;
      continue;
    }
    char32_t code = 0;
    std::uint8_t standsFor = 0;
    const std::size_t length = WellFormedUtf8At(hostName, pos, code);
    if (length == 0) {
      out += hostName[pos];  // not UTF-8: the host's byte, as it is
      ++pos;
    } else if (IsStandIn(code, standsFor)) {
      // A stand-in written literally: its own bytes become stand-ins, so it is not read back as
      // the byte it would stand for.
      for (std::size_t i = 0; i < length; ++i) {
        AppendStandIn(out, static_cast<std::uint8_t>(hostName[pos + i]));
      }
      pos += length;
    } else {
      out.append(hostName.substr(pos, length));
      pos += length;
    }
  }
  return out;
}

}  // namespace

std::string WindowsNameOf(std::string_view hostName)
{
  return WindowsFormOf(hostName, false);
}

std::string WindowsMaskOf(std::string_view hostMask)
{
  return WindowsFormOf(hostMask, true);
}

bool WindowsNameMayHoldStandIns(std::string_view windowsName) noexcept
{
  return windowsName.find(static_cast<char>(StandInLead)) != std::string_view::npos;
}

std::string HostNameOf(std::string_view windowsName)
{
  if (!WindowsNameMayHoldStandIns(windowsName)) {
    return std::string(windowsName);
  }
  std::string out;
  out.reserve(windowsName.size());
  std::size_t pos = 0;
  while (pos < windowsName.size()) {
    char32_t code = 0;
    std::uint8_t byte = 0;
    const std::size_t length = WellFormedUtf8At(windowsName, pos, code);
    if (length != 0 && IsStandIn(code, byte)) {
      out += static_cast<char>(byte);
      pos += length;
    } else {
      const std::size_t step = length == 0 ? 1 : length;
      out.append(windowsName.substr(pos, step));
      pos += step;
    }
  }
  return out;
}

std::string ShownNameOf(std::string_view windowsName)
{
  const std::string host = HostNameOf(windowsName);
  std::string shown;
  shown.reserve(host.size());
  for (const char c : host) {
    if (static_cast<std::uint8_t>(c) < 0x20) {
      AppendUtf8(shown, 0xFFFD);
    } else {
      shown += c;
    }
  }
  return shown;
}
