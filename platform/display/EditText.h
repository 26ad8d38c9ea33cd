#pragma once
// The text, selection and limit of the in-place editor, apart from its window.

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 to code points; a malformed byte becomes U+FFFD.
std::u32string DecodeUtf8Text(std::string_view text);
std::string EncodeUtf8Text(std::u32string_view text);

class TEditText {
 public:
  explicit TEditText(std::size_t limit) : FLimit(limit) {}

  // The most code points; text over a lowered limit is cut at the end.
  void SetLimit(std::size_t limit);
  std::size_t Limit() const noexcept { return FLimit; }

  // Replaces the text (cut to the limit) and selects all of it.
  void SetText(std::string_view utf8);
  const std::u32string& Text() const noexcept { return FText; }
  std::string Utf8() const { return EncodeUtf8Text(FText); }

  // The selection runs from the anchor to the caret (either way round).
  std::size_t Anchor() const noexcept { return FAnchor; }
  std::size_t Caret() const noexcept { return FCaret; }
  std::size_t SelectionStart() const noexcept { return FAnchor < FCaret ? FAnchor : FCaret; }
  std::size_t SelectionEnd() const noexcept { return FAnchor < FCaret ? FCaret : FAnchor; }
  bool HasSelection() const noexcept { return FAnchor != FCaret; }
  void Select(std::size_t anchor, std::size_t caret);
  // Puts the caret at position; extend keeps the anchor (Shift).
  void MoveTo(std::size_t position, bool extend);

  // Replaces the selection with as much of text as the limit lets in; false when nothing changed.
  bool Insert(std::u32string_view text);
  // Removes the selection, else the code point before (Backspace) or after (Delete) the caret.
  bool Backspace();
  bool Delete();

 private:
  void RemoveSelection();

  std::u32string FText;
  std::size_t FLimit;
  std::size_t FAnchor = 0;
  std::size_t FCaret = 0;
};
