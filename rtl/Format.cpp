#include "rtl/Format.h"

#include <cstdio>

#include "rtl/Exception.h"
#include "rtl/Strings.h"
#include "rtl/Utf8.h"

namespace format_detail {

void FormatStringDoesNotMatchArguments() {}

}  // namespace format_detail

namespace {

[[noreturn]] void Invalid(std::string_view format)
{
  throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string Digits(std::uint64_t magnitude, int precision)
{
  std::string digits = std::to_string(magnitude);
  if (precision > 0 && static_cast<int>(digits.size()) < precision) {
    digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
  }
  return digits;
}

std::uint64_t AsUnsigned(const TFormatArg& arg)
{
  if (arg.Kind == TFormatArg::TKind::Unsigned) {
    return arg.UInt;
  }
  // A negative value shows as its two's complement in the argument's own width.
  const auto raw = static_cast<std::uint64_t>(arg.Int);
  return arg.Bits >= 64 ? raw : raw & ((std::uint64_t{1} << arg.Bits) - 1);
}

std::string FloatText(char type, int precision, double value)
{
  char spec[16];
  const char conversion = type == 'n' ? 'f' : type;
  if (precision >= 0) {
    std::snprintf(spec, sizeof spec, "%%.%d%c", precision > 99 ? 99 : precision, conversion);
  } else {
    std::snprintf(spec, sizeof spec, "%%%c", conversion == 'f' ? 'f' : conversion);
  }
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, spec, value);
  std::string text = buffer;
  if (type == 'n') {
    // Thousands separators before the decimal point.
    auto point = text.find('.');
    if (point == std::string::npos) {
      point = text.size();
    }
    const std::size_t firstDigit = (text[0] == '-') ? 1 : 0;
    for (auto i = static_cast<std::ptrdiff_t>(point) - 3; i > static_cast<std::ptrdiff_t>(firstDigit);
         i -= 3) {
      text.insert(static_cast<std::size_t>(i), 1, ',');
    }
  }
  return text;
}

// The first count characters (not bytes) of text.
std::string LeadingCharacters(std::string_view text, std::size_t count)
{
  std::size_t pos = 0;
  for (std::size_t taken = 0; taken < count && pos < text.size(); ++taken) {
    NextCodePoint(text, pos);
  }
  return std::string(text.substr(0, pos));
}

}  // namespace

std::string FormatArgs(std::string_view format, std::span<const TFormatArg> args)
{
  std::string result;
  result.reserve(format.size() + 16);
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      result.push_back(format[i]);
      continue;
    }
    if (++i >= format.size()) {
      Invalid(format);
    }
    if (format[i] == '%') {
      result.push_back('%');
      continue;
    }
    int number = -1;
    const auto readNumber = [&]() {
      int value = -1;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        value = (value < 0 ? 0 : value) * 10 + (format[i] - '0');
        if (value > 100000) {
          Invalid(format);
        }
        ++i;
      }
      return value;
    };
    number = readNumber();
    if (i < format.size() && format[i] == ':') {
      if (number < 0) {
        Invalid(format);
      }
      next = static_cast<std::size_t>(number);
      ++i;
      number = -1;
    }
    bool leftAlign = false;
    if (number < 0 && i < format.size() && format[i] == '-') {
      leftAlign = true;
      ++i;
    }
    const int width = number >= 0 ? number : readNumber();
    int precision = -1;
    if (i < format.size() && format[i] == '.') {
      ++i;
      precision = readNumber();
      if (precision < 0) {
        precision = 0;
      }
    }
    if (i >= format.size() || next >= args.size()) {
      Invalid(format);
    }
    const TFormatArg& arg = args[next++];
    const char type = static_cast<char>(format[i] | 0x20);
    std::string piece;
    switch (type) {
      case 'd':
        if (arg.Kind == TFormatArg::TKind::Signed) {
          const bool negative = arg.Int < 0;
          const auto magnitude =
              negative ? static_cast<std::uint64_t>(-(arg.Int + 1)) + 1 : static_cast<std::uint64_t>(arg.Int);
          piece = Digits(magnitude, precision);
          if (negative) {
            piece.insert(piece.begin(), '-');
          }
        } else if (arg.Kind == TFormatArg::TKind::Unsigned) {
          piece = Digits(arg.UInt, precision);
        } else {
          Invalid(format);
        }
        break;
      case 'u':
        if (arg.Kind != TFormatArg::TKind::Signed && arg.Kind != TFormatArg::TKind::Unsigned) {
          Invalid(format);
        }
        piece = Digits(AsUnsigned(arg), precision);
        break;
      case 'x':
        if (arg.Kind != TFormatArg::TKind::Signed && arg.Kind != TFormatArg::TKind::Unsigned) {
          Invalid(format);
        }
        piece = IntToHex(AsUnsigned(arg), precision);
        break;
      case 's':
        if (arg.Kind != TFormatArg::TKind::Text) {
          Invalid(format);
        }
        piece = precision >= 0 ? LeadingCharacters(arg.Text, static_cast<std::size_t>(precision))
                               : std::string(arg.Text);
        break;
      case 'f':
      case 'g':
      case 'e':
      case 'n':
        if (arg.Kind != TFormatArg::TKind::Float) {
          Invalid(format);
        }
        piece = FloatText(type, type == 'g' ? precision : (precision < 0 ? 2 : precision), arg.Float);
        break;
      case 'p':
        if (arg.Kind != TFormatArg::TKind::Pointer) {
          Invalid(format);
        }
        piece = IntToHex(reinterpret_cast<std::uintptr_t>(arg.Pointer), static_cast<int>(sizeof(void*) * 2));
        break;
      default:
        Invalid(format);
    }
    const auto shown = static_cast<int>(CodePointCount(piece));
    if (width > 0 && shown < width) {
      const std::string padding(static_cast<std::size_t>(width - shown), ' ');
      piece.insert(leftAlign ? piece.size() : 0, padding);
    }
    result += piece;
  }
  return result;
}
