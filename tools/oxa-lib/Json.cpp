#include "tools/oxa-lib/Json.h"

#include <cstdio>
#include <ostream>

#include "rtl/Utf8.h"

TJsonWriter::~TJsonWriter()
{
  if (FWroteSomething) {
    FOut << '\n';
  }
}

void TJsonWriter::BeforeValue()
{
  FWroteSomething = true;
  if (FAfterKey) {
    FAfterKey = false;
    return;
  }
  if (!FHasMembers.empty()) {
    if (FHasMembers.back()) {
      FOut << ',';
    }
    FHasMembers.back() = true;
  }
}

TJsonWriter& TJsonWriter::BeginObject()
{
  BeforeValue();
  FOut << '{';
  FHasMembers.push_back(false);
  return *this;
}

TJsonWriter& TJsonWriter::EndObject()
{
  FHasMembers.pop_back();
  FOut << '}';
  return *this;
}

TJsonWriter& TJsonWriter::BeginArray()
{
  BeforeValue();
  FOut << '[';
  FHasMembers.push_back(false);
  return *this;
}

TJsonWriter& TJsonWriter::EndArray()
{
  FHasMembers.pop_back();
  FOut << ']';
  return *this;
}

TJsonWriter& TJsonWriter::Key(std::string_view key)
{
  BeforeValue();
  WriteQuoted(key);
  FOut << ':';
  FAfterKey = true;
  return *this;
}

TJsonWriter& TJsonWriter::String(std::string_view value)
{
  BeforeValue();
  WriteQuoted(value);
  return *this;
}

TJsonWriter& TJsonWriter::Number(std::int64_t value)
{
  BeforeValue();
  FOut << value;
  return *this;
}

TJsonWriter& TJsonWriter::Bool(bool value)
{
  BeforeValue();
  FOut << (value ? "true" : "false");
  return *this;
}

TJsonWriter& TJsonWriter::Null()
{
  BeforeValue();
  FOut << "null";
  return *this;
}

void TJsonWriter::WriteQuoted(std::string_view text)
{
  FOut << '"';
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char32_t c = NextCodePoint(text, pos);
    switch (c) {
      case '"':
        FOut << "\\\"";
        break;
      case '\\':
        FOut << "\\\\";
        break;
      case '\n':
        FOut << "\\n";
        break;
      case '\r':
        FOut << "\\r";
        break;
      case '\t':
        FOut << "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          FOut << escaped;
        } else {
          std::string utf8;
          AppendCodePoint(utf8, c);
          FOut << utf8;
        }
    }
  }
  FOut << '"';
}
