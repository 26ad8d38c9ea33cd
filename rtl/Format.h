#pragma once
// Format: the runtime's printf-like formatting, with its rules:
//   "%" ["-"] [width] ["." precision] type, type one of d u x s f g e n p and "%%";
//   d/u: precision is the minimum number of digits (zero-padded); x: upper-case hexadecimal,
//   negative values as their two's complement of the argument's width; s: precision cuts the
//   text; width pads with spaces on the left ("-": on the right); p: a pointer as 8 or 16
//   upper-case hexadecimal digits. An index "%1:s" picks an argument explicitly.
// A literal format is checked against the argument types at compile time; a format built at run
// time goes through FormatArgs, which raises EConvertError when it does not fit its arguments.

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

class TFormatArg {
 public:
  enum class TKind { Signed, Unsigned, Text, Float, Pointer };

  template <std::signed_integral T>
  TFormatArg(T value) : Kind(TKind::Signed), Bits(sizeof(T) * 8), Int(value)
  {
  }
  template <std::unsigned_integral T>
  requires(!std::same_as<T, bool>) TFormatArg(T value)
      : Kind(TKind::Unsigned), Bits(sizeof(T) * 8), UInt(value)
  {
  }
  TFormatArg(bool value) : Kind(TKind::Signed), Bits(32), Int(value ? 1 : 0) {}
  TFormatArg(std::string_view value) : Kind(TKind::Text), Text(value) {}
  TFormatArg(const std::string& value) : Kind(TKind::Text), Text(value) {}
  TFormatArg(const char* value) : Kind(TKind::Text), Text(value != nullptr ? value : "") {}
  TFormatArg(double value) : Kind(TKind::Float), Float(value) {}
  TFormatArg(const void* value) : Kind(TKind::Pointer), Pointer(value) {}

  TKind Kind;
  int Bits = 64;
  std::int64_t Int = 0;
  std::uint64_t UInt = 0;
  std::string_view Text;
  double Float = 0.0;
  const void* Pointer = nullptr;
};

// Formats with run-time checking; raises EConvertError with
// "Format '%s' invalid or incompatible with argument" on a mismatch.
std::string FormatArgs(std::string_view format, std::span<const TFormatArg> args);

namespace format_detail {

enum class TArgClass { Integer, Text, Float, Pointer, Other };

template <class T>
consteval TArgClass ClassOf()
{
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_integral_v<U>) {
    return TArgClass::Integer;
  } else if constexpr (std::is_floating_point_v<U>) {
    return TArgClass::Float;
  } else if constexpr (std::is_convertible_v<U, std::string_view> || std::is_same_v<std::decay_t<U>, char*> ||
                       std::is_same_v<std::decay_t<U>, const char*>) {
    return TArgClass::Text;
  } else if constexpr (std::is_pointer_v<std::decay_t<U>>) {
    return TArgClass::Pointer;
  } else {
    return TArgClass::Other;
  }
}

// Called only when a literal format does not fit its arguments: not constexpr, so the compiler
// stops at the call with this name in its message.
void FormatStringDoesNotMatchArguments();

consteval bool IsDigit(char c)
{
  return c >= '0' && c <= '9';
}

template <std::size_t N>
consteval void Check(std::string_view format, const TArgClass (&classes)[N])
{
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      continue;
    }
    if (++i >= format.size()) {
      FormatStringDoesNotMatchArguments();
    }
    if (format[i] == '%') {
      continue;
    }
    std::size_t number = 0;
    bool haveNumber = false;
    while (i < format.size() && IsDigit(format[i])) {
      number = number * 10 + static_cast<std::size_t>(format[i] - '0');
      haveNumber = true;
      ++i;
    }
    if (i < format.size() && format[i] == ':') {
      if (!haveNumber) {
        FormatStringDoesNotMatchArguments();
      }
      next = number;
      ++i;
    }
    if (i < format.size() && format[i] == '-') {
      ++i;
    }
    while (i < format.size() && IsDigit(format[i])) {
      ++i;
    }
    if (i < format.size() && format[i] == '.') {
      ++i;
      while (i < format.size() && IsDigit(format[i])) {
        ++i;
      }
    }
    if (i >= format.size() || next >= N) {
      FormatStringDoesNotMatchArguments();
    }
    const TArgClass have = classes[next++];
    switch (format[i] | 0x20) {
      case 'd':
      case 'u':
      case 'x':
        if (have != TArgClass::Integer) {
          FormatStringDoesNotMatchArguments();
        }
        break;
      case 's':
        if (have != TArgClass::Text) {
          FormatStringDoesNotMatchArguments();
        }
        break;
      case 'f':
      case 'g':
      case 'e':
      case 'n':
        if (have != TArgClass::Float) {
          FormatStringDoesNotMatchArguments();
        }
        break;
      case 'p':
        if (have != TArgClass::Pointer) {
          FormatStringDoesNotMatchArguments();
        }
        break;
      default:
        FormatStringDoesNotMatchArguments();
    }
  }
}

}  // namespace format_detail

// A format string checked at compile time against the argument types Args.
template <class... Args>
class TFormatString {
 public:
  template <class S>
  requires std::convertible_to<const S&, std::string_view>
  consteval TFormatString(const S& text) : FText(text)
  {
    constexpr format_detail::TArgClass classes[sizeof...(Args) + 1] = {format_detail::ClassOf<Args>()...,
                                                                       format_detail::TArgClass::Other};
    format_detail::Check<sizeof...(Args) + 1>(FText, classes);
  }

  std::string_view Text() const noexcept { return FText; }

 private:
  std::string_view FText;
};

template <class... Args>
std::string Format(TFormatString<std::type_identity_t<Args>...> format, const Args&... args)
{
  const TFormatArg packed[sizeof...(Args) + 1] = {TFormatArg(args)..., TFormatArg(0)};
  return FormatArgs(format.Text(), std::span<const TFormatArg>(packed, sizeof...(Args)));
}
