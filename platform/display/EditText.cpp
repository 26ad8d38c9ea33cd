#include "platform/display/EditText.h"

#include <algorithm>

std::u32string DecodeUtf8Text(std::string_view text)
{
  std::u32string result;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      result.push_back(lead);
      ++i;
      continue;
    }
    if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      c = lead & 0x1F;
      least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      c = lead & 0x0F;
      least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      c = lead & 0x07;
      least = 0x10000;
    } else {
      result.push_back(0xFFFD);
      ++i;
      continue;
    }
    std::size_t taken = 1;
    for (; taken <= extra && i + taken < text.size(); ++taken) {
      const auto next = static_cast<unsigned char>(text[i + taken]);
      if ((next & 0xC0) != 0x80) {
        break;
      }
      c = (c << 6) | (next & 0x3F);
    }
    if (taken != extra + 1 || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      // Overlong forms, surrogates and cut sequences are not text.
      result.push_back(0xFFFD);
      i += taken;
      continue;
    }
    result.push_back(c);
    i += taken;
  }
  return result;
}

std::string EncodeUtf8Text(std::u32string_view text)
{
  std::string result;
  for (const char32_t c : text) {
    if (c < 0x80) {
      result.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      result.push_back(static_cast<char>(0xC0 | (c >> 6)));
      result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      result.push_back(static_cast<char>(0xE0 | (c >> 12)));
      result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      result.push_back(static_cast<char>(0xF0 | (c >> 18)));
      result.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return result;
}

void TEditText::SetLimit(std::size_t limit)
{
  FLimit = limit;
  if (FText.size() > FLimit) {
    FText.resize(FLimit);
  }
  FAnchor = std::min(FAnchor, FText.size());
  FCaret = std::min(FCaret, FText.size());
}

void TEditText::SetText(std::string_view utf8)
{
  FText = DecodeUtf8Text(utf8);
  if (FText.size() > FLimit) {
    FText.resize(FLimit);
  }
  FAnchor = 0;
  FCaret = FText.size();
}

void TEditText::Select(std::size_t anchor, std::size_t caret)
{
  FAnchor = std::min(anchor, FText.size());
  FCaret = std::min(caret, FText.size());
}

void TEditText::MoveTo(std::size_t position, bool extend)
{
  FCaret = std::min(position, FText.size());
  if (!extend) {
    FAnchor = FCaret;
  }
}

void TEditText::RemoveSelection()
{
  const std::size_t start = SelectionStart();
  FText.erase(start, SelectionEnd() - start);
  FAnchor = FCaret = start;
}

bool TEditText::Insert(std::u32string_view text)
{
  const std::size_t kept = FText.size() - (SelectionEnd() - SelectionStart());
  const std::size_t room = FLimit > kept ? FLimit - kept : 0;
  const std::u32string_view fitting = text.substr(0, std::min(room, text.size()));
  if (fitting.empty()) {
    return false;
  }
  RemoveSelection();
  FText.insert(FCaret, fitting);
  FCaret += fitting.size();
  FAnchor = FCaret;
  return true;
}

bool TEditText::Backspace()
{
  if (HasSelection()) {
    RemoveSelection();
    return true;
  }
  if (FCaret == 0) {
    return false;
  }
  FText.erase(FCaret - 1, 1);
  FAnchor = --FCaret;
  return true;
}

bool TEditText::Delete()
{
  if (HasSelection()) {
    RemoveSelection();
    return true;
  }
  if (FCaret >= FText.size()) {
    return false;
  }
  FText.erase(FCaret, 1);
  return true;
}
