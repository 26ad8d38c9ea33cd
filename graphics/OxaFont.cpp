// TOxaFont: its properties, the character table (glyphs and kerning pairs) and the names of
// the characters' images.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <new>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "platform/display/GdiText.h"

namespace {

constexpr std::array<std::string_view, 16> kPunctuation32 = {
    "_SPACE", "_BANG",         "_QUOTE_DOUBLE", "_HASH",          "_DOLLAR",   "_PERCENT",
    "_AND",   "_QUOTE_SINGLE", "_BRACKET_OPEN", "_BRACKET_CLOSE", "_MULTIPLY", "_PLUS",
    "_COMMA", "_MINUS",        "_DOT",          "_SLASH"};
constexpr std::array<std::string_view, 7> kPunctuation58 = {"_COLON", "_SEMICOLON", "_LESS", "_EQUAL",
                                                            "_MORE",  "_QUESTION",  "_AT"};
constexpr std::array<std::string_view, 6> kPunctuation91 = {
    "_SQUARE_BRACKET_OPEN", "_BACKSLASH", "_SQUARE_BRACKET_CLOSE", "_HAT", "_UNDERSCORE", "_FUNNY_QUOTE"};
constexpr std::array<std::string_view, 4> kPunctuation123 = {"_CURLY_BRACKET_OPEN", "_PIPE",
                                                             "_CURLY_BRACKET_CLOSE", "_TILDE"};

// Every name built once, so GlyphName can hand out views.
struct TGlyphNames {
  std::array<std::string, 256> Names;
  TGlyphNames()
  {
    for (int c = 0; c < 256; ++c) {
      std::string& name = Names[std::size_t(c)];
      if (c >= 32 && c <= 47) {
        name = kPunctuation32[std::size_t(c - 32)];
      } else if (c >= 48 && c <= 57) {
        name = std::string(1, char(c));
      } else if (c >= 58 && c <= 64) {
        name = kPunctuation58[std::size_t(c - 58)];
      } else if (c >= 65 && c <= 90) {
        name = std::string("U") + char(c);
      } else if (c >= 91 && c <= 96) {
        name = kPunctuation91[std::size_t(c - 91)];
      } else if (c >= 97 && c <= 122) {
        name = std::string("L") + char(c - 32);
      } else if (c >= 123 && c <= 126) {
        name = kPunctuation123[std::size_t(c - 123)];
      } else if (c >= 160) {
        name = "C" + std::to_string(c);
      }
    }
  }
};

const TGlyphNames& Names()
{
  static const TGlyphNames names;
  return names;
}

std::string Trim(std::string_view text)
{
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') {
    ++first;
  }
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') {
    --last;
  }
  return std::string(text.substr(first, last - first));
}

// The codes a kerning name covers: "*" all, a character name its code, anything else none.
bool CodesOf(const std::string& name, int& first, int& last)
{
  if (name == "*") {
    first = 0;
    last = 255;
    return true;
  }
  for (int c = 0; c < 256; ++c) {
    if (!Names().Names[std::size_t(c)].empty() && Names().Names[std::size_t(c)] == name) {
      first = last = c;
      return true;
    }
  }
  return false;
}

}  // namespace

std::string_view GlyphName(int code) noexcept
{
  if (code < 0 || code > 255) {
    return {};
  }
  return Names().Names[std::size_t(code)];
}

TOxaFont::TOxaFont(TComponent* owner) : TOxaGraphicsObject(owner) {}

TOxaFont::~TOxaFont()
{
  if (FBitmaps != nullptr) {
    FBitmaps->RemoveObserver(MakeMethod<&TOxaFont::StoreDestroyed>(this),
                             MakeMethod<&TOxaFont::StoreChanged>(this));
    FBitmaps = nullptr;
  }
}

void TOxaFont::Assign(const TPersistent& source)
{
  const auto* font = dynamic_cast<const TOxaFont*>(&source);
  if (font == nullptr) {
    TOxaGraphicsObject::Assign(source);
    return;
  }
  if (font == this) {
    return;
  }
  BeginUpdate();
  try {
    SetGdiFont(font->FGdiFont);
    SetGdiColor(font->FGdiColor);
    SetPrefix(font->FPrefix);
    SetSuffix(font->FSuffix);
    SetFontTop(font->FFontTop);
    SetFontHeight(font->FFontHeight);
    SetLineSpacing(font->FLineSpacing);
    SetCharacterSpacing(font->FCharacterSpacing);
    SetAutoFontHeight(font->FAutoFontHeight);
    SetBitmaps(font->FBitmaps);
    SetKerning(font->FKerning);
    SetFallback(font->FFallback);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TOxaFont::SetGdiFont(const TOxaGdiFont& value)
{
  if (value == FGdiFont) {
    return;
  }
  FGdiFont = value;
  FPieceWidths.clear();
  if ((ComponentState() & csLoading) == 0) {
    ReadMetrics();
  }
  Changed();
}

void TOxaFont::SetGdiColor(TOxaColor value)
{
  if (value != FGdiColor) {
    FGdiColor = value;
    Changed();
  }
}

void TOxaFont::SetGdiFontHeight(std::int32_t value)
{
  TOxaGdiFont font = FGdiFont;
  font.Height = value;
  SetGdiFont(font);
}

void TOxaFont::SetPrefix(const std::string& value)
{
  if (value != FPrefix) {
    FPrefix = value;
    BuildGlyphs();
    Changed();
  }
}

void TOxaFont::SetSuffix(const std::string& value)
{
  if (value != FSuffix) {
    FSuffix = value;
    BuildGlyphs();
    Changed();
  }
}

void TOxaFont::SetBitmaps(TOxaBitmaps* value)
{
  if (value == FBitmaps) {
    return;
  }
  const TNotifyEvent onDestroy = MakeMethod<&TOxaFont::StoreDestroyed>(this);
  const TNotifyEvent onChange = MakeMethod<&TOxaFont::StoreChanged>(this);
  if (FBitmaps != nullptr) {
    FBitmaps->RemoveObserver(onDestroy, onChange);
  }
  FBitmaps = nullptr;
  if (value != nullptr) {
    value->Objects().Add(onDestroy, onChange);
    FBitmaps = value;
  }
  BuildGlyphs();
  Changed();
}

void TOxaFont::StoreDestroyed(TObject* sender)
{
  // The dying store's list drops the entry itself.
  if (sender == FBitmaps) {
    FBitmaps = nullptr;
    BuildGlyphs();
    Changed();
  }
}

void TOxaFont::StoreChanged(TObject* /*sender*/)
{
  BuildGlyphs();
  Changed();
}

void TOxaFont::SetKerning(std::vector<std::string> value)
{
  if (value != FKerning) {
    FKerning = std::move(value);
    FKerningStale = true;
    Changed();
  }
}

#define OXA_FONT_SETTER(Name, Type)    \
  void TOxaFont::Set##Name(Type value) \
  {                                    \
    if (value != F##Name) {            \
      F##Name = value;                 \
      Changed();                       \
    }                                  \
  }
OXA_FONT_SETTER(FontTop, std::int32_t)
OXA_FONT_SETTER(FontHeight, std::int32_t)
OXA_FONT_SETTER(AutoFontHeight, bool)
OXA_FONT_SETTER(LineSpacing, std::int32_t)
OXA_FONT_SETTER(CharacterSpacing, std::int32_t)
OXA_FONT_SETTER(Fallback, bool)
#undef OXA_FONT_SETTER

void TOxaFont::Loaded()
{
  TOxaGraphicsObject::Loaded();
  ReadMetrics();
}

void TOxaFont::BuildGlyphs()
{
  for (TChar& entry : FChars) {
    entry.Glyph = nullptr;
    entry.Found = false;
  }
}

TOxaBitmap* TOxaFont::Glyph(int code) const noexcept
{
  if (code < 0 || code >= 256) {
    return nullptr;
  }
  TChar& entry = FChars[std::size_t(code)];
  if (!entry.Found) {
    const std::string_view name = GlyphName(code);
    if (FBitmaps != nullptr && !name.empty()) {
      try {
        entry.Glyph = FBitmaps->Find(FPrefix + std::string(name) + FSuffix);
      } catch (const std::bad_alloc&) {
        // Without memory for the name the character is drawn as missing, and looked up again.
        return nullptr;
      }
    }
    entry.Found = true;
  }
  return entry.Glyph;
}

void TOxaFont::BuildKerning() const
{
  for (TChar& entry : FChars) {
    entry.Kerns.clear();
  }
  struct TRule {
    int FirstLow, FirstHigh, SecondLow, SecondHigh;
    std::int32_t Value;
  };
  std::vector<TRule> rules;
  rules.reserve(FKerning.size());
  for (const std::string& raw : FKerning) {
    std::string line = Trim(raw);
    std::transform(line.begin(), line.end(), line.begin(),
                   [](char ch) { return char(std::toupper(static_cast<unsigned char>(ch))); });
    if (line.empty() || line[0] == ';') {
      continue;
    }
    const std::size_t dot = line.find('.');
    if (dot == std::string::npos) {
      continue;
    }
    const std::size_t equal = line.find('=', dot + 1);
    if (equal == std::string::npos) {
      continue;
    }
    const std::string first = Trim(std::string_view(line).substr(0, dot));
    const std::string second = Trim(std::string_view(line).substr(dot + 1, equal - dot - 1));
    const std::string valueText = Trim(std::string_view(line).substr(equal + 1));
    std::int32_t value = 0;
    const char* begin = valueText.data();
    const char* end = begin + valueText.size();
    if (begin != end && *begin == '+') {
      ++begin;
    }
    const auto parsed = std::from_chars(begin, end, value);
    if (parsed.ec != std::errc() || parsed.ptr != end) {
      value = 0;
    }
    int firstLow = 0;
    int firstHigh = 0;
    int secondLow = 0;
    int secondHigh = 0;
    if (first.empty() || second.empty() || value == 0 || !CodesOf(first, firstLow, firstHigh) ||
        !CodesOf(second, secondLow, secondHigh)) {
      continue;
    }
    rules.push_back({firstLow, firstHigh, secondLow, secondHigh, value});
  }
  // Room for every pair first: a rule for "*" touches all 256 characters, and growing their
  // lists one pair at a time made most of the cost of building a glyph font.
  std::array<std::size_t, 256> room{};
  for (const TRule& rule : rules) {
    for (int cur = rule.SecondLow; cur <= rule.SecondHigh; ++cur) {
      room[std::size_t(cur)] += std::size_t(rule.FirstHigh - rule.FirstLow + 1);
    }
  }
  for (std::size_t cur = 0; cur < room.size(); ++cur) {
    FChars[cur].Kerns.reserve(std::min<std::size_t>(room[cur], 256));
  }
  for (const TRule& rule : rules) {
    const std::int32_t value = rule.Value;
    for (int cur = rule.SecondLow; cur <= rule.SecondHigh; ++cur) {
      auto& kerns = FChars[std::size_t(cur)].Kerns;
      for (int prev = rule.FirstLow; prev <= rule.FirstHigh; ++prev) {
        const auto found =
            std::find_if(kerns.begin(), kerns.end(), [prev](const auto& pair) { return pair.first == prev; });
        if (found != kerns.end()) {
          // Saturating, so a long list of rules cannot overflow.
          const std::int64_t sum = std::int64_t(found->second) + value;
          found->second = std::int32_t(std::clamp<std::int64_t>(sum, INT32_MIN, INT32_MAX));
        } else {
          kerns.emplace_back(std::uint8_t(prev), value);
        }
      }
    }
  }
}

std::int32_t TOxaFont::Kern(int prev, int cur) const noexcept
{
  if (prev < 0 || prev > 255 || cur < 0 || cur > 255) {
    return 0;
  }
  if (FKerningStale) {
    try {
      BuildKerning();
    } catch (const std::bad_alloc&) {
      // Drawn without kerning for now; the pairs are built again on the next call.
      return 0;
    }
    FKerningStale = false;
  }
  for (const auto& [code, value] : FChars[std::size_t(cur)].Kerns) {
    if (code == prev) {
      return value;
    }
  }
  return 0;
}
