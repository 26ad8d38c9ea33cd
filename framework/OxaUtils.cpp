#include "framework/OxaUtils.h"

#include <cmath>

#include "platform/core/Time.h"
#include "platform/windows/Input.h"
#include "platform/windows/Metrics.h"
#include "rtl/AnsiText.h"
#include "rtl/Strings.h"
#include "rtl/Utf8.h"

std::uint64_t TTickExtender::Extend(DWORD reading)
{
  const std::lock_guard guard(FLock);
  if (reading < FLast) {
    ++FWraps;
  }
  FLast = reading;
  return (static_cast<std::uint64_t>(FWraps) << 32) + reading;
}

std::uint64_t GetTickCount64()
{
  static TTickExtender extender;
  return extender.Extend(GetTickCount());
}

std::int32_t OxaAccelerate(std::int32_t index, std::int32_t count, std::int32_t max)
{
  if (count < 1) {
    Trace("OxaAccelerate: Count is %s", IntToStr(count));
    return 0;
  }
  if (index < 0) {
    Trace("OxaAccelerate: Index is %s", IntToStr(index));
    return 0;
  }
  const double t = static_cast<double>(index) / static_cast<double>(count);
  double f = 1.0;
  if (t < 0.5) {
    f = 2.0 * t * t;
  } else if (t < 1.0) {
    f = (4.0 - 2.0 * t) * t - 1.0;
  }
  // nearbyint rounds half to even in the default rounding mode.
  return static_cast<std::int32_t>(std::nearbyint(static_cast<double>(max) * f));
}

std::string PercentEncode(std::string_view text, std::string_view chars)
{
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (chars.find(c) != std::string_view::npos) {
      const auto byte = static_cast<unsigned char>(c);
      result.push_back('%');
      result.push_back(hex[byte >> 4]);
      result.push_back(hex[byte & 0x0F]);
    } else {
      result.push_back(c);
    }
  }
  return result;
}

std::vector<std::string> Split(std::string_view separator, std::string_view text, TSplitEmpty empty)
{
  std::vector<std::string> pieces;
  if (separator.empty() || text.empty()) {
    return pieces;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t found = text.find(separator, start);
    const std::size_t end = found == std::string_view::npos ? text.size() : found;
    if (end > start || empty == TSplitEmpty::Keep) {
      pieces.emplace_back(text.substr(start, end - start));
    }
    if (found == std::string_view::npos) {
      break;
    }
    start = found + separator.size();
  }
  return pieces;
}

namespace {

bool StartsWord(char16_t previous) noexcept
{
  return previous < 256 && (previous == u' ' || previous == u'(' || previous == u')' || previous == u',' ||
                            previous == u'-' || previous == u'.' || (previous >= u'0' && previous <= u'9'));
}

}  // namespace

std::u16string ProperCase(std::u16string_view text)
{
  std::u16string result;
  result.reserve(text.size());
  for (char16_t c : text) {
    if (c == u'_') {
      c = u' ';
    }
    if (c < u' ') {
      continue;
    }
    if (c == u' ' && (result.empty() || result.back() == u' ')) {
      continue;
    }
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    if (!surrogate && (result.empty() || StartsWord(result.back()))) {
      c = static_cast<char16_t>(AnsiUpperChar(c));
    }
    result.push_back(c);
  }
  while (!result.empty() && result.back() == u' ') {
    result.pop_back();
  }
  return result;
}

std::string ProperCase(std::string_view text)
{
  return Utf16ToUtf8(ProperCase(Utf8ToUtf16(text)));
}

bool IsMouseButtonDown()
{
  const int primary = GetSystemMetrics(SM_SWAPBUTTON) != 0 ? VK_RBUTTON : VK_LBUTTON;
  return GetAsyncKeyState(primary) < 0;
}
