#include "tools/oxa-host/Decode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "OxaIPC/MusicIpc.h"

namespace {

template <class T>
T As(const std::vector<std::uint8_t>& payload)
{
  T value{};
  std::memcpy(&value, payload.data(), sizeof(T));
  return value;
}

std::int32_t Word(const std::vector<std::uint8_t>& payload, std::size_t index)
{
  std::int32_t value = 0;
  std::memcpy(&value, payload.data() + index * 4, sizeof(value));
  return value;
}

std::string Words(const std::vector<std::uint8_t>& payload, std::initializer_list<const char*> names)
{
  std::ostringstream text;
  std::size_t index = 0;
  for (const char* name : names) {
    text << (index == 0 ? "" : "; ") << name << ' ' << Word(payload, index);
    ++index;
  }
  return text.str();
}

// The text of a file name payload: up to its first zero.
std::string Text(const std::vector<std::uint8_t>& payload)
{
  const auto end = std::find(payload.begin(), payload.end(), std::uint8_t{0});
  return std::string(payload.begin(), end);
}

}  // namespace

std::string HexDump(const std::vector<std::uint8_t>& payload, std::size_t limit)
{
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < payload.size() && i < limit; ++i) {
    text += digits[payload[i] >> 4];
    text += digits[payload[i] & 15];
  }
  if (payload.size() > limit) {
    text += "...";
  }
  return text.empty() ? "-" : text;
}

bool IsSourceKey(const std::string& name)
{
  for (int key = 0; key < SourceKeyCount; ++key) {
    if (name == SourceKeyName(static_cast<TSourceKey>(key))) {
      return true;
    }
  }
  return false;
}

std::string JsonText(const std::string& text)
{
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned char>(c));
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string DecodePayload(const std::string& name, const std::vector<std::uint8_t>& payload)
{
  const std::size_t size = payload.size();
  const std::string base = name.rfind("On", 0) == 0 && name.size() > 2 ? name.substr(2) : name;
  if (base == "Picture" && size == 12) {
    return Words(payload, {"Contrast", "Brightness", "Color"});
  }
  if (base == "Video" && size == 8) {
    return Words(payload, {"Video", "Extra"});
  }
  if (base == "Display" && size == 12) {
    return Words(payload, {"Hidden", "Window", "Fullscreen"});
  }
  if (base == "Audio" && size == 8) {
    return Words(payload, {"Type1", "Type2"});
  }
  if (base == "Status" && size == sizeof(TSourceStatus)) {
    const auto status = As<TSourceStatus>(payload);
    return Words(payload, {"Position", "MediaPosition", "Activity", "Blanking", "Tuning", "RecordingSource",
                           "RecordingTarget", "Random"}) +
           "; Formatted " + JsonText(status.FormattedText());
  }
  if (base == "GUI" && size == sizeof(TSourceGui)) {
    return Words(payload, {"Visible", "Foreground", "Flag", "Mode"});
  }
  if (base == "GUI" && size == 68) {
    return Words(payload, {"Shown", "Window", "Third"});
  }
  if (name == "Version" && size == 12) {
    return std::to_string(Word(payload, 0)) + "." + std::to_string(Word(payload, 1)) + "." +
           std::to_string(Word(payload, 2));
  }
  if ((name == "Active" || name == "OnOpen" || name == "OnClose" || name == "OnHide") && size == 4) {
    return std::to_string(Word(payload, 0));
  }
  if (name == "OnRandom" && size == 1) {
    return payload[0] != 0 ? "on" : "off";
  }
  if (name == "Open" && size == 12) {
    return Words(payload, {"A", "B", "C"});
  }
  if (name == "Close" && size >= 8) {
    return Words(payload, {"A", "B"});
  }
  if (IsSourceKey(name) && size == 12) {
    return Words(payload, {"Sender", "Target", "Extra"});
  }
  if (name == "DebugLowSpeed" && size == 16) {
    return Words(payload, {"Sender", "Target", "Extra", "Key"});
  }
  if ((name == "KeyDown" || name == "KeyUp" || name == "KeyPress" || name == "KeyDeadPress") && size >= 20) {
    return Words(payload, {"A", "B", "C", "D", "E"});
  }
  if ((name == "Scan" || name == "UpdateScan" || name == "Info") && size == 12) {
    return "A " + std::to_string(Word(payload, 0)) + "; B " + std::to_string(Word(payload, 2));
  }
  if ((name == "PlayFile" || name == "OnTrackRecorded") && size >= 256) {
    return JsonText(Text(payload));
  }
  if (name == "EdgeWindows" && size == 16) {
    return Words(payload, {"Left", "Top", "Right", "Bottom"});
  }
  return HexDump(payload);
}
