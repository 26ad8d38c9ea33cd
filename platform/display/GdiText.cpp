#include "platform/display/GdiText.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string_view>
#include <tuple>

#include "platform/core/Diagnostics.h"
#include "platform/core/LastError.h"
#include "platform/windows/GdiObjects.h"

namespace {

// The font configuration the layer loads instead of the user's: the system's font folders and
// the faces the program names, mapped to free faces of the same or close metrics.
constexpr const char* FontConfiguration = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts</dir>
  <dir>/usr/local/share/fonts</dir>
  <cachedir prefix="xdg">oxanetmusic-fontconfig</cachedir>
  <alias binding="same"><family>Arial</family><prefer><family>Liberation Sans</family></prefer></alias>
  <alias binding="same"><family>Verdana</family><prefer><family>DejaVu Sans</family></prefer></alias>
</fontconfig>
)";
constexpr const char* FallbackFamily = "DejaVu Sans";
// The character height of a font whose height is 0.
constexpr LONG DefaultCharacterHeight = 13;
// Heights beyond this are refused as nonsense rather than rendered.
constexpr LONG MaxCharacterHeight = 1000;
constexpr char32_t Replacement = 0xFFFD;
constexpr const char* Ellipsis = "...";

// Releases fontconfig objects.
struct TPatternFree {
  void operator()(FcPattern* pattern) const noexcept { FcPatternDestroy(pattern); }
};
using TPattern = std::unique_ptr<FcPattern, TPatternFree>;

struct TConfigFree {
  void operator()(FcConfig* config) const noexcept { FcConfigDestroy(config); }
};

struct TFaceFree {
  void operator()(FT_Face face) const noexcept { FT_Done_Face(face); }
};

struct TLibraryFree {
  void operator()(FT_Library library) const noexcept { FT_Done_FreeType(library); }
};

struct TGlyph {
  std::vector<std::uint8_t> Coverage;  // Width x Rows, 0..255
  int Width = 0;
  int Rows = 0;
  int Left = 0;  // from the pen position to the bitmap's left edge
  int Top = 0;   // from the baseline up to the bitmap's top row
  int Advance = 0;
};

// One face at one pixel size, with the glyphs rendered so far.
struct TSizedFace {
  std::unique_ptr<std::remove_pointer_t<FT_Face>, TFaceFree> Face;
  bool Embolden = false;
  LONG Ascent = 0;
  LONG Descent = 0;
  LONG EmPixels = 0;
  LONG AverageWidth = 0;
  LONG MaxWidth = 0;
  std::map<char32_t, TGlyph> Glyphs;
};

// Everything text needs that lives as long as the process; guarded by the GDI lock.
struct TTextState {
  std::unique_ptr<FcConfig, TConfigFree> Config;
  std::unique_ptr<std::remove_pointer_t<FT_Library>, TLibraryFree> Library;
  bool Failed = false;
  std::map<std::tuple<std::string, bool, bool>, TFontFace> Resolved;
  std::map<std::tuple<std::string, int, LONG, bool, bool>, std::unique_ptr<TSizedFace>> Faces;
};

TTextState& Text()
{
  static TTextState state;
  if (!state.Config && !state.Failed) {
    FcConfig* config = FcConfigCreate();
    if (config == nullptr ||
        !FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(FontConfiguration),
                                        FcTrue) ||
        !FcConfigBuildFonts(config)) {
      if (config != nullptr) {
        FcConfigDestroy(config);
      }
      state.Failed = true;
      PlatformTrace("text: the font configuration could not be loaded");
      return state;
    }
    state.Config.reset(config);
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
      state.Failed = true;
      PlatformTrace("text: FreeType could not be started");
      return state;
    }
    state.Library.reset(library);
  }
  return state;
}

std::string Lower(std::string_view text)
{
  std::string lower(text);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower;
}

// The best face for the pattern, when its family is one the configuration allows for family.
std::optional<TFontFace> Match(TTextState& state, const char* family, bool bold, bool italic)
{
  TPattern pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddInteger(pattern.get(), FC_WIDTH, FC_WIDTH_NORMAL);
  FcConfigSubstitute(state.Config.get(), pattern.get(), FcMatchPattern);
  // The families the configuration accepts for this name: its aliases and itself.
  std::vector<std::string> accepted;
  FcChar8* value = nullptr;
  for (int i = 0; FcPatternGetString(pattern.get(), FC_FAMILY, i, &value) == FcResultMatch; ++i) {
    accepted.push_back(Lower(reinterpret_cast<const char*>(value)));
  }
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const TPattern match(FcFontMatch(state.Config.get(), pattern.get(), &result));
  if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &value) != FcResultMatch) {
    return std::nullopt;
  }
  TFontFace face;
  face.Family = reinterpret_cast<const char*>(value);
  if (std::find(accepted.begin(), accepted.end(), Lower(face.Family)) == accepted.end()) {
    return std::nullopt;
  }
  if (FcPatternGetString(match.get(), FC_FILE, 0, &value) != FcResultMatch) {
    return std::nullopt;
  }
  face.File = reinterpret_cast<const char*>(value);
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &face.Index);
  return face;
}

TFontFace Resolve(TTextState& state, const char* faceName, bool bold, bool italic)
{
  const std::string name = faceName != nullptr && *faceName != '\0' ? faceName : FallbackFamily;
  const auto key = std::make_tuple(Lower(name), bold, italic);
  if (const auto found = state.Resolved.find(key); found != state.Resolved.end()) {
    return found->second;
  }
  TFontFace face;
  if (state.Config) {
    if (auto matched = Match(state, name.c_str(), bold, italic)) {
      face = std::move(*matched);
    } else if (auto fallback = Match(state, FallbackFamily, bold, italic)) {
      face = std::move(*fallback);
    }
  }
  state.Resolved[key] = face;
  return face;
}

LONG Round26(FT_Pos value) noexcept
{
  return static_cast<LONG>((value + 32) >> 6);
}

// The face for a logical font, at its size (GDI lock held); null when no face can be had.
TSizedFace* SizedFace(const LOGFONTA& font)
{
  TTextState& state = Text();
  if (!state.Library) {
    return nullptr;
  }
  const bool bold = font.lfWeight >= 600;
  const bool italic = font.lfItalic != 0;
  char name[LF_FACESIZE + 1] = {};
  std::memcpy(name, font.lfFaceName, LF_FACESIZE);
  const TFontFace resolved = Resolve(state, name, bold, italic);
  if (resolved.File.empty()) {
    return nullptr;
  }
  const LONG height = std::clamp<LONG>(font.lfHeight, -MaxCharacterHeight, MaxCharacterHeight);
  const auto key = std::make_tuple(resolved.File, resolved.Index,
                                   height == 0 ? -DefaultCharacterHeight : height, bold, italic);
  if (const auto found = state.Faces.find(key); found != state.Faces.end()) {
    return found->second.get();
  }
  FT_Face opened = nullptr;
  if (FT_New_Face(state.Library.get(), resolved.File.c_str(), resolved.Index, &opened) != 0) {
    PlatformTrace("text: cannot open " + resolved.File);
    return nullptr;
  }
  auto sized = std::make_unique<TSizedFace>();
  sized->Face.reset(opened);
  // Windows measures cells by the OS/2 table's ascent and descent; the hhea values stand in.
  double ascentUnits = opened->ascender;
  double descentUnits = -opened->descender;
  double averageUnits = 0;
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(opened, FT_SFNT_OS2));
      os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
    ascentUnits = os2->usWinAscent;
    descentUnits = os2->usWinDescent;
    averageUnits = os2->xAvgCharWidth;
  }
  const double units = opened->units_per_EM > 0 ? opened->units_per_EM : 2048;
  const LONG wanted = height == 0 ? DefaultCharacterHeight : std::abs(height);
  // Negative: the character height is the em; positive: the cell (ascent + descent) is.
  const double em = height > 0 ? wanted * units / (ascentUnits + descentUnits) : wanted;
  const auto emPixels = std::max<FT_UInt>(1, static_cast<FT_UInt>(std::lround(em)));
  FT_Set_Pixel_Sizes(opened, 0, emPixels);
  const double scale = emPixels / units;
  sized->EmPixels = static_cast<LONG>(emPixels);
  if (height > 0) {
    sized->Ascent = static_cast<LONG>(std::lround(ascentUnits * wanted / (ascentUnits + descentUnits)));
    sized->Descent = wanted - sized->Ascent;
  } else {
    sized->Ascent = static_cast<LONG>(std::ceil(ascentUnits * scale));
    sized->Descent = static_cast<LONG>(std::ceil(descentUnits * scale));
  }
  sized->AverageWidth = static_cast<LONG>(std::lround(averageUnits * scale));
  sized->MaxWidth = static_cast<LONG>(std::lround(opened->max_advance_width * scale));
  sized->Embolden = bold && (opened->style_flags & FT_STYLE_FLAG_BOLD) == 0;
  TSizedFace* result = sized.get();
  state.Faces.emplace(key, std::move(sized));
  return result;
}

const TGlyph& GlyphOf(TSizedFace& face, char32_t code)
{
  if (const auto found = face.Glyphs.find(code); found != face.Glyphs.end()) {
    return found->second;
  }
  TGlyph glyph;
  FT_Face ft = face.Face.get();
  const FT_UInt index = FT_Get_Char_Index(ft, code);
  if (FT_Load_Glyph(ft, index, FT_LOAD_DEFAULT) == 0) {
    if (face.Embolden) {
      FT_GlyphSlot_Embolden(ft->glyph);
    }
    glyph.Advance = Round26(ft->glyph->advance.x);
    if (FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_NORMAL) == 0) {
      const FT_Bitmap& bitmap = ft->glyph->bitmap;
      glyph.Width = static_cast<int>(bitmap.width);
      glyph.Rows = static_cast<int>(bitmap.rows);
      glyph.Left = ft->glyph->bitmap_left;
      glyph.Top = ft->glyph->bitmap_top;
      glyph.Coverage.resize(static_cast<std::size_t>(glyph.Width) * static_cast<std::size_t>(glyph.Rows));
      for (int row = 0; row < glyph.Rows; ++row) {
        std::memcpy(glyph.Coverage.data() + static_cast<std::size_t>(row) * glyph.Width,
                    bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch,
                    static_cast<std::size_t>(glyph.Width));
      }
    }
  }
  return face.Glyphs.emplace(code, std::move(glyph)).first->second;
}

// The code points of UTF-8 text; a malformed sequence gives one replacement character per byte.
std::u32string Decode(std::string_view text)
{
  std::u32string codes;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) {
      codes.push_back(Replacement);
      ++i;
      continue;
    }
    codes.push_back(code);
    i += static_cast<std::size_t>(length);
  }
  return codes;
}

LONG Measure(TSizedFace& face, std::u32string_view codes)
{
  LONG width = 0;
  for (const char32_t code : codes) {
    width += GlyphOf(face, code).Advance;
  }
  return width;
}

std::string_view Bytes(const char* text, int count)
{
  if (text == nullptr) {
    return {};
  }
  return count < 0 ? std::string_view(text) : std::string_view(text, static_cast<std::size_t>(count));
}

// The font selected into dc (GDI lock held).
TSizedFace* FaceOf(const TDeviceContext& dc)
{
  const auto* font = FindGdiObjectAs<TFontObject>(dc.Font, OBJ_FONT);
  return font != nullptr ? SizedFace(font->Font) : nullptr;
}

// Blends one colour over a pixel by coverage.
inline COLORREF Blend(COLORREF under, COLORREF over, unsigned coverage) noexcept
{
  const auto mix = [&](unsigned shift) {
    const unsigned a = (under >> shift) & 255;
    const unsigned b = (over >> shift) & 255;
    return (a * (255 - coverage) + b * coverage + 127) / 255;
  };
  return mix(0) | (mix(8) << 8) | (mix(16) << 16);
}

// Draws a run of glyphs with its cell's top-left corner at (x, y) (device coordinates), clipped
// to clip (surface coordinates); returns the changed bounds on the surface.
RECT DrawRun(const TDrawTarget& target, TSizedFace& face, std::u32string_view codes, LONG x, LONG y,
             COLORREF color, const TRegion& clip)
{
  if (target.Surface == nullptr) {
    return RECT{0, 0, 0, 0};
  }
  TSurface& surface = *target.Surface;
  const LONG baseline = y + target.Origin.y + face.Ascent;
  LONG pen = x + target.Origin.x;
  RECT changed{0, 0, 0, 0};
  const auto rects = clip.Rects();
  for (const char32_t code : codes) {
    const TGlyph& glyph = GlyphOf(face, code);
    const RECT box{pen + glyph.Left, baseline - glyph.Top, pen + glyph.Left + glyph.Width,
                   baseline - glyph.Top + glyph.Rows};
    for (const RECT& part : rects) {
      const RECT area = IntersectRects(box, part);
      if (RectEmpty(area)) {
        continue;
      }
      for (LONG py = area.top; py < area.bottom; ++py) {
        const std::uint8_t* coverage = glyph.Coverage.data() + static_cast<std::size_t>(py - box.top) *
                                                                   static_cast<std::size_t>(glyph.Width);
        for (LONG px = area.left; px < area.right; ++px) {
          const unsigned amount = coverage[px - box.left];
          if (amount == 0) {
            continue;
          }
          surface.Set(px, py, amount == 255 ? color : Blend(surface.Get(px, py), color, amount));
        }
      }
      changed = RectEmpty(changed)
                    ? area
                    : RECT{std::min(changed.left, area.left), std::min(changed.top, area.top),
                           std::max(changed.right, area.right), std::max(changed.bottom, area.bottom)};
    }
    pen += glyph.Advance;
  }
  return changed;
}

RECT UnionOf(const RECT& a, const RECT& b) noexcept
{
  if (RectEmpty(a)) {
    return b;
  }
  if (RectEmpty(b)) {
    return a;
  }
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

// Draws one line of text: background cells in OPAQUE mode, then the glyphs; all clipped.
RECT DrawLine(TDeviceContext& dc, TSizedFace& face, std::u32string_view codes, LONG x, LONG y,
              const std::optional<RECT>& clipRect)
{
  const TDrawTarget target = DrawTargetOf(dc);
  if (target.Surface == nullptr) {
    return RECT{0, 0, 0, 0};
  }
  TRegion clip = target.Clip;
  if (clipRect) {
    TRegion limit(*clipRect);
    limit.Offset(target.Origin.x, target.Origin.y);
    clip.Intersect(limit);
  }
  RECT changed{0, 0, 0, 0};
  if (dc.BackMode == OPAQUE) {
    TRegion cells(RECT{x, y, x + Measure(face, codes), y + face.Ascent + face.Descent});
    cells.Offset(target.Origin.x, target.Origin.y);
    cells.Intersect(clip);
    for (const RECT& rect : cells.Rects()) {
      target.Surface->Fill(rect, dc.BackColor);
    }
    changed = cells.Bounds();
  }
  return UnionOf(changed, DrawRun(target, face, codes, x, y, dc.TextColor, clip));
}

// Flushes what a text call changed on a window, after the GDI lock is released.
struct TTextPresent {
  HWND TopLevel = nullptr;
  RECT Changed{0, 0, 0, 0};
  void Add(const TDeviceContext& dc, const RECT& rect)
  {
    if (dc.Target == TDcTarget::Window && !RectEmpty(rect)) {
      TopLevel = dc.TopLevel;
      Changed = UnionOf(Changed, rect);
    }
  }
  void Flush() const
  {
    if (TopLevel != nullptr) {
      PresentDrawing(TopLevel, Changed);
    }
  }
};

// The text with "&" prefixes taken out ("&&" stays one "&").
std::u32string WithoutPrefixes(const std::u32string& codes)
{
  std::u32string result;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] == U'&' && i + 1 < codes.size()) {
      ++i;
    } else if (codes[i] == U'&') {
      continue;
    }
    result.push_back(codes[i]);
  }
  return result;
}

// Cuts a line so that it and the ellipsis fit in width.
std::u32string WithEllipsis(TSizedFace& face, std::u32string line, LONG width)
{
  const std::u32string ellipsis = Decode(Ellipsis);
  if (Measure(face, line) <= width) {
    return line;
  }
  const LONG room = width - Measure(face, ellipsis);
  while (!line.empty() && Measure(face, line) > room) {
    line.pop_back();
  }
  return line + ellipsis;
}

// The lines DrawTextA draws.
std::vector<std::u32string> LayOut(TSizedFace& face, const std::u32string& text, LONG width, UINT format)
{
  std::vector<std::u32string> paragraphs;
  if ((format & DT_SINGLELINE) != 0) {
    std::u32string line;
    for (const char32_t code : text) {
      if (code != U'\r' && code != U'\n') {
        line.push_back(code);
      }
    }
    paragraphs.push_back(line);
  } else {
    std::u32string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') {
        continue;
      }
      if (text[i] == U'\n' || text[i] == U'\r') {
        paragraphs.push_back(line);
        line.clear();
      } else {
        line.push_back(text[i]);
      }
    }
    paragraphs.push_back(line);
  }
  std::vector<std::u32string> lines;
  for (const auto& paragraph : paragraphs) {
    if ((format & DT_WORDBREAK) == 0 || (format & DT_SINGLELINE) != 0) {
      lines.push_back(paragraph);
      continue;
    }
    // Breaks between words; a word wider than the line stays whole on a line of its own.
    std::u32string current;
    std::size_t i = 0;
    while (i < paragraph.size()) {
      std::size_t end = i;
      while (end < paragraph.size() && paragraph[end] != U' ') {
        ++end;
      }
      const std::u32string word = paragraph.substr(i, end - i);
      std::u32string candidate = current;
      if (!candidate.empty()) {
        candidate += U' ';
      }
      candidate += word;
      if (!current.empty() && Measure(face, candidate) > width) {
        lines.push_back(current);
        current = word;
      } else {
        current = candidate;
      }
      i = end;
      while (i < paragraph.size() && paragraph[i] == U' ') {
        ++i;
      }
    }
    lines.push_back(current);
  }
  if ((format & DT_END_ELLIPSIS) != 0) {
    for (auto& line : lines) {
      line = WithEllipsis(face, std::move(line), width);
    }
  }
  return lines;
}

}  // namespace

TFontFace ResolveFontFace(const char* faceName, bool bold, bool italic)
{
  const auto lock = GdiLock();
  return Resolve(Text(), faceName, bold, italic);
}

HFONT CreateFontIndirectA(const LOGFONTA* font)
{
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto lock = GdiLock();
  return static_cast<HFONT>(AddGdiObject(std::make_shared<TFontObject>(*font)));
}

COLORREF SetTextColor(HDC handle, COLORREF color)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  if (dc == nullptr) {
    return CLR_INVALID;
  }
  return std::exchange(dc->TextColor, color & 0xFFFFFF);
}

COLORREF SetBkColor(HDC handle, COLORREF color)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  if (dc == nullptr) {
    return CLR_INVALID;
  }
  return std::exchange(dc->BackColor, color & 0xFFFFFF);
}

int SetBkMode(HDC handle, int mode)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) {
    SetLastError(dc == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(dc->BackMode, mode);
}

BOOL ExtTextOutA(HDC handle, int x, int y, UINT options, const RECT* rect, const char* text, UINT count,
                 const int* dx)
{
  if (dx != nullptr || (text == nullptr && count != 0) ||
      ((options & (ETO_OPAQUE | ETO_CLIPPED)) != 0 && rect == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  TTextPresent present;
  {
    const TDcCall dc(handle);
    if (!dc) {
      return FALSE;
    }
    TSizedFace* face = FaceOf(*dc);
    if (face == nullptr) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
    if ((options & ETO_OPAQUE) != 0) {
      const TDrawTarget target = DrawTargetOf(*dc);
      if (target.Surface != nullptr) {
        TRegion area(*rect);
        area.Offset(target.Origin.x, target.Origin.y);
        area.Intersect(target.Clip);
        for (const RECT& part : area.Rects()) {
          target.Surface->Fill(part, dc->BackColor);
        }
        present.Add(*dc, area.Bounds());
      }
    }
    const std::u32string codes = Decode(Bytes(text, static_cast<int>(count)));
    present.Add(*dc, DrawLine(*dc, *face, codes, x, y,
                              (options & ETO_CLIPPED) != 0 ? std::optional<RECT>(*rect) : std::nullopt));
  }
  present.Flush();
  return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count)
{
  if (count < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return ExtTextOutA(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

int DrawTextA(HDC handle, const char* text, int count, RECT* rect, UINT format)
{
  if (rect == nullptr || text == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  TTextPresent present;
  int height = 0;
  {
    const TDcCall dc(handle);
    if (!dc) {
      return 0;
    }
    TSizedFace* face = FaceOf(*dc);
    if (face == nullptr) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return 0;
    }
    std::u32string codes = Decode(Bytes(text, count));
    if ((format & DT_NOPREFIX) == 0) {
      codes = WithoutPrefixes(codes);
    }
    const LONG width = rect->right - rect->left;
    const auto lines = LayOut(*face, codes, width, format);
    const LONG lineHeight = face->Ascent + face->Descent;
    height = static_cast<int>(lineHeight * static_cast<LONG>(lines.size()));
    if ((format & DT_CALCRECT) != 0) {
      LONG widest = 0;
      for (const auto& line : lines) {
        widest = std::max(widest, Measure(*face, line));
      }
      rect->right =
          (format & DT_WORDBREAK) != 0 ? std::max(rect->right, rect->left + widest) : rect->left + widest;
      rect->bottom = rect->top + height;
      return height;
    }
    LONG y = rect->top;
    if ((format & DT_SINGLELINE) != 0) {
      if ((format & DT_VCENTER) != 0) {
        y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
      } else if ((format & DT_BOTTOM) != 0) {
        y = rect->bottom - lineHeight;
      }
    }
    const std::optional<RECT> clip = (format & DT_NOCLIP) != 0 ? std::nullopt : std::optional<RECT>(*rect);
    for (const auto& line : lines) {
      const LONG lineWidth = Measure(*face, line);
      LONG x = rect->left;
      if ((format & DT_CENTER) != 0) {
        x = rect->left + (width - lineWidth) / 2;
      } else if ((format & DT_RIGHT) != 0) {
        x = rect->right - lineWidth;
      }
      present.Add(*dc, DrawLine(*dc, *face, line, x, y, clip));
      y += lineHeight;
    }
    if ((format & DT_SINGLELINE) != 0 && (format & (DT_VCENTER | DT_BOTTOM)) != 0) {
      height = static_cast<int>(y - rect->top);
    }
  }
  present.Flush();
  return height;
}

BOOL GetTextExtentPoint32A(HDC handle, const char* text, int count, SIZE* size)
{
  if (size == nullptr || count < 0 || (text == nullptr && count > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  TSizedFace* face = dc != nullptr ? FaceOf(*dc) : nullptr;
  if (face == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *size = SIZE{Measure(*face, Decode(Bytes(text, count))), face->Ascent + face->Descent};
  return TRUE;
}

BOOL GetTextMetricsA(HDC handle, TEXTMETRICA* metrics)
{
  if (metrics == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  TSizedFace* face = dc != nullptr ? FaceOf(*dc) : nullptr;
  const auto* font = dc != nullptr ? FindGdiObjectAs<TFontObject>(dc->Font, OBJ_FONT) : nullptr;
  if (face == nullptr || font == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *metrics = TEXTMETRICA{};
  metrics->tmAscent = face->Ascent;
  metrics->tmDescent = face->Descent;
  metrics->tmHeight = face->Ascent + face->Descent;
  metrics->tmInternalLeading = std::max<LONG>(0, metrics->tmHeight - face->EmPixels);
  metrics->tmAveCharWidth = face->AverageWidth > 0 ? face->AverageWidth : GlyphOf(*face, U'x').Advance;
  metrics->tmMaxCharWidth = face->MaxWidth;
  metrics->tmWeight = font->Font.lfWeight == 0 ? FW_NORMAL : font->Font.lfWeight;
  metrics->tmDigitizedAspectX = 96;
  metrics->tmDigitizedAspectY = 96;
  metrics->tmFirstChar = 32;
  metrics->tmLastChar = 255;
  metrics->tmDefaultChar = '?';
  metrics->tmBreakChar = ' ';
  metrics->tmItalic = font->Font.lfItalic;
  metrics->tmCharSet = font->Font.lfCharSet;
  return TRUE;
}
