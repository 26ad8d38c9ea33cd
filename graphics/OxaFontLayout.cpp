// Laying text out in a font's glyphs (or its platform font) and drawing the laid-out block.
#include <algorithm>
#include <cctype>
#include <climits>
#include <mutex>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "platform/display/GdiText.h"

namespace {

struct TDecoded {
  std::int32_t Code;
  std::int32_t Index;
  std::int32_t Length;
};

// The code point of UTF-8 text at byte i (i < size); a byte that starts no valid sequence stands
// for itself.
TDecoded DecodeAt(std::string_view text, std::size_t i) noexcept
{
  const auto lead = static_cast<unsigned char>(text[i]);
  int length = 1;
  std::int32_t code = lead;
  if (lead >= 0xC2 && lead <= 0xF4) {
    length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    std::int32_t value = lead & (0x3F >> (length - 1));
    bool valid = i + std::size_t(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + std::size_t(k)]);
      valid = (next & 0xC0) == 0x80;
      value = value << 6 | (next & 0x3F);
    }
    static constexpr std::int32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && value >= kMinimum[length] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) {
      code = value;
    } else {
      length = 1;
    }
  }
  return {code, std::int32_t(i), length};
}

bool BoundaryAfter(std::int32_t code) noexcept
{
  return code == '*' || code == ',' || code == '-' || code == '.' || code == ':';
}

// Characters with no look at all: controls.
bool Invisible(std::int32_t code) noexcept
{
  return code < 32 || (code >= 127 && code < 160);
}

// Vertical fitting and alignment, shared by both modes. Returns false when no line fits.
void Finish(TOxaTextBlock& block, int maxHeight, const TOxaTextLine* ellipsis, std::string_view ellipsisText,
            int maxWidth)
{
  const std::int64_t advance = std::int64_t(block.FontHeight) + block.LineSpacing;
  int kept = 0;
  while (kept < block.Count && std::int64_t(kept) * advance + block.FontHeight <= maxHeight) {
    ++kept;
  }
  const bool cut = kept < block.Count;
  block.Count = kept;
  if (kept == 0) {
    // Not even one line fits: nothing is shown rather than an ellipsis on no line.
    block.Width = 0;
    block.Height = 0;
    return;
  }
  if (cut && ellipsis != nullptr && ellipsis->Count > 0) {
    TOxaTextLine& last = block.Lines[std::size_t(kept - 1)];
    const std::int32_t ellipsisWidth = ellipsis->RightEdge();
    if (maxWidth >= ellipsisWidth) {
      const auto fits = [&]() {
        if (last.Count == 0) {
          return true;
        }
        const TOxaTextRect& end = last.Rects[std::size_t(last.Count - 1)];
        const std::int32_t gap = std::max(block.CharacterSpacing, -end.Width);
        return std::int64_t(last.RightEdge()) + gap + ellipsisWidth <= maxWidth;
      };
      while (!fits()) {
        --last.Count;
      }
      std::int32_t origin = 0;
      if (last.Count > 0) {
        const TOxaTextRect& end = last.Rects[std::size_t(last.Count - 1)];
        origin = last.RightEdge() + std::max(block.CharacterSpacing, -end.Width);
      }
      block.Ellipsis = ellipsisText;
      for (int i = 0; i < ellipsis->Count; ++i) {
        TOxaTextRect rect = (*ellipsis)[i];
        rect.X += origin;
        // Past the text: the ellipsis's own characters, kept in the block after it.
        rect.Index += std::int32_t(block.Text.size());
        if (i == 0) {
          rect.Gap = origin - (last.Count > 0 ? last.RightEdge() : 0);
        }
        last.Add(rect);
      }
    } else {
      last.Count = 0;
    }
  }
  block.Width = 0;
  for (int i = 0; i < kept; ++i) {
    TOxaTextLine& line = block.Lines[std::size_t(i)];
    line.Y = std::int32_t(i * advance);
    line.Height = block.FontHeight;
    line.Width = line.RightEdge();
    block.Width = std::max(block.Width, line.Width);
  }
  block.Height = std::int32_t(kept * advance - block.LineSpacing);
  for (int i = 0; i < kept; ++i) {
    TOxaTextLine& line = block.Lines[std::size_t(i)];
    const std::int32_t room = block.Width - line.Width;
    line.Offset = block.Alignment == 1 ? room : block.Alignment == 2 ? room >> 1 : 0;
  }
}

// The platform font at a pixel height, selected into a device context while it lives.
class TSelectedFont {
 public:
  TSelectedFont(HDC dc, const TOxaGdiFont& font, int height) : FDc(dc)
  {
    LOGFONTA log{};
    log.lfHeight = height;
    log.lfWeight = font.Bold ? FW_BOLD : FW_NORMAL;
    log.lfItalic = font.Italic ? 1 : 0;
    const std::size_t length = std::min(font.Name.size(), std::size_t(LF_FACESIZE - 1));
    std::copy_n(font.Name.data(), length, log.lfFaceName);
    FFont = CreateFontIndirectA(&log);
    if (FFont != nullptr && FDc != nullptr) {
      FOld = SelectObject(FDc, FFont);
    }
  }
  ~TSelectedFont()
  {
    if (FOld != nullptr) {
      SelectObject(FDc, FOld);
    }
    if (FFont != nullptr) {
      DeleteObject(FFont);
    }
  }
  TSelectedFont(const TSelectedFont&) = delete;
  TSelectedFont& operator=(const TSelectedFont&) = delete;
  bool Ok() const noexcept { return FFont != nullptr && FDc != nullptr; }

 private:
  HDC FDc;
  HFONT FFont = nullptr;
  HGDIOBJ FOld = nullptr;
};

// Ideographs, kana and Hangul: the Latin faces the skin names have none of them.
bool NeedsCjkFace(std::string_view piece)
{
  if (piece.empty()) {
    return false;
  }
  const std::int32_t c = DecodeAt(piece, 0).Code;
  return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xA960 && c <= 0xA97F) ||
         (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
         (c >= 0x20000 && c <= 0x2FFFF);
}

// The first CJK face installed on the machine, empty when there is none (looked up once).
const std::string& CjkFace()
{
  static const std::string face = [] {
    for (const char* candidate :
         {"Noto Sans CJK SC", "Noto Sans CJK JP", "WenQuanYi Micro Hei", "Droid Sans Fallback"}) {
      const TFontFace found = ResolveFontFace(candidate);
      std::string family = found.Family;
      std::string wanted = candidate;
      for (std::string* text : {&family, &wanted}) {
        std::transform(text->begin(), text->end(), text->begin(),
                       [](char ch) { return char(std::tolower(static_cast<unsigned char>(ch))); });
      }
      if (!found.File.empty() && family == wanted) {
        return std::string(candidate);
      }
    }
    return std::string();
  }();
  return face;
}

// The platform font a piece is drawn with: the font's own face, or a CJK face for ideographs.
TOxaGdiFont FaceFor(const TOxaGdiFont& font, std::string_view piece)
{
  TOxaGdiFont face = font;
  if (NeedsCjkFace(piece) && !CjkFace().empty()) {
    face.Name = CjkFace();
  }
  return face;
}

}  // namespace

void TOxaTextLine::Grow()
{
  Rects.resize(Rects.size() + GlyphGrowth);
}

std::int32_t TOxaTextLine::RightEdge() const noexcept
{
  std::int32_t right = 0;
  for (int i = 0; i < Count; ++i) {
    right = std::max(right, Rects[std::size_t(i)].X + Rects[std::size_t(i)].Width);
  }
  return right;
}

void TOxaTextBlock::Clear()
{
  Text.clear();
  Ellipsis.clear();
  Alignment = 0;
  Width = Height = FontTop = FontHeight = LineSpacing = CharacterSpacing = 0;
  KeyColor = 0;
  for (int i = 0; i < Count; ++i) {
    Lines[std::size_t(i)].Count = 0;
  }
  Count = 0;
}

TOxaTextLine& TOxaTextBlock::AddLine()
{
  if (Count == std::int32_t(Lines.size())) {
    Lines.resize(Lines.size() + LineGrowth);
  }
  TOxaTextLine& line = Lines[std::size_t(Count++)];
  std::vector<TOxaTextRect> keep = std::move(line.Rects);
  line = TOxaTextLine{};
  line.Rects = std::move(keep);
  return line;
}

void TOxaFont::ReadMetrics()
{
  std::lock_guard lock(OxaGdiLock());
  const HDC dc = StockGdiBitmap()->DC();
  TSelectedFont selected(dc, FGdiFont, FGdiFont.Height);
  TEXTMETRICA metrics{};
  FTextHeight = selected.Ok() && GetTextMetricsA(dc, &metrics) ? metrics.tmHeight : 0;
}

std::int32_t TOxaFont::MeasurePiece(std::string_view piece, int pixelHeight) const
{
  auto key = std::make_pair(pixelHeight, std::string(piece));
  if (const auto found = FPieceWidths.find(key); found != FPieceWidths.end()) {
    return found->second;
  }
  const std::int32_t width = MeasureUncached(piece, pixelHeight);
  if (FPieceWidths.size() >= 4096) {
    FPieceWidths.clear();  // a bound, not an eviction policy: text of that variety is rare
  }
  FPieceWidths.emplace(std::move(key), width);
  return width;
}

std::int32_t TOxaFont::MeasureUncached(std::string_view piece, int pixelHeight) const
{
  std::lock_guard lock(OxaGdiLock());
  const HDC dc = StockGdiBitmap()->DC();
  TSelectedFont selected(dc, FaceFor(FGdiFont, piece), pixelHeight);
  RECT rect{0, 0, 0, 0};
  if (!selected.Ok() ||
      DrawTextA(dc, piece.data(), int(piece.size()), &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX) == 0) {
    return 0;
  }
  return rect.right - rect.left;
}

void TOxaFont::DrawPiece(TOxaBitmap& target, std::string_view piece, int x, int y, int width, int height,
                         int pixelHeight, TOxaColor background) const
{
  const HDC dc = target.Canvas();
  TSelectedFont selected(dc, FaceFor(FGdiFont, piece), pixelHeight);
  if (!selected.Ok()) {
    return;
  }
  const RECT rect{x, y, x + width, y + height};
  SetBkColor(dc, background);
  SetTextColor(dc, FGdiFont.Color);
  SetBkMode(dc, OPAQUE);
  ExtTextOutA(dc, x, y, ETO_CLIPPED | ETO_OPAQUE, &rect, piece.data(), UINT(piece.size()), nullptr);
}

void TOxaFont::Layout(std::string_view text, int alignment, TOxaTextBlock& block, int maxHeight, int maxWidth,
                      std::string_view ellipsis, int wrapMode) const
{
  LayoutGlyphs(text, alignment, block, maxHeight, maxWidth, ellipsis, wrapMode);
}

void TOxaFont::LayoutGlyphs(std::string_view text, int alignment, TOxaTextBlock& block, int maxHeight,
                            int maxWidth, std::string_view ellipsis, int wrapMode) const
{
  block.Clear();
  block.Text = std::string(text);
  block.Alignment = alignment;
  // Without a store every character is a platform-font piece, laid out by the same rules.
  const bool platform = FBitmaps == nullptr;
  TOxaBitmap* space = platform ? nullptr : Glyph(' ');
  if (maxWidth < 1 || maxHeight < 1 || (!platform && space == nullptr)) {
    return;
  }
  std::int32_t glyphHeight = 0;
  std::int32_t fontHeight = 0;
  std::int32_t fontTop = 0;
  if (platform) {
    fontHeight = FTextHeight > 0 ? FTextHeight : std::abs(FGdiFont.Height);
    glyphHeight = fontHeight;
  } else {
    glyphHeight = space->ImageHeight();
    fontHeight = std::max(FAutoFontHeight ? glyphHeight : std::min(FFontHeight, glyphHeight), 0);
    fontTop = std::max(FFontTop, 0);
    if (glyphHeight < fontTop + fontHeight) {
      fontTop = glyphHeight - fontHeight;
    }
  }
  block.FontTop = fontTop;
  block.FontHeight = fontHeight;
  block.LineSpacing = std::max(FLineSpacing, -fontHeight);
  block.CharacterSpacing = FCharacterSpacing;
  block.KeyColor = platform ? FGdiColor : space->GetPixel(0, fontTop);
  if (fontHeight == 0) {
    return;
  }
  const int pieceHeight = platform ? FGdiFont.Height : fontHeight;

  TOxaTextBlock ellipsisBlock;
  const TOxaTextLine* ellipsisLine = nullptr;
  if (!ellipsis.empty()) {
    LayoutGlyphs(ellipsis, 0, ellipsisBlock, INT_MAX, INT_MAX, {}, kOxaWrapNone);
    if (ellipsisBlock.Count > 0) {
      ellipsisLine = &ellipsisBlock.Lines[0];
    }
  }

  // i and boundaryNext are byte offsets of characters in the text.
  const std::size_t count = text.size();
  TOxaTextLine* line = &block.AddLine();
  std::int32_t x = 0;
  std::int32_t prevCode = -1;
  std::int32_t prevWidth = 0;
  bool skipSpaces = false;
  // The last word boundary of the line: glyphs kept when cutting there, and where to resume.
  int boundaryKeep = 0;
  std::size_t boundaryNext = 0;
  const auto newLine = [&]() {
    line = &block.AddLine();
    x = 0;
    prevCode = -1;
    prevWidth = 0;
    boundaryKeep = 0;
  };
  std::size_t i = 0;
  while (i < count) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const TDecoded ch = lead < 0x80 ? TDecoded{lead, std::int32_t(i), 1} : DecodeAt(text, i);
    const std::size_t next = i + std::size_t(ch.Length);
    if (ch.Code == '\n') {
      newLine();
      skipSpaces = false;
      i = next;
      continue;
    }
    if (skipSpaces && ch.Code == ' ') {
      i = next;
      continue;
    }
    skipSpaces = false;
    TOxaBitmap* glyph = !platform && ch.Code < 256 ? Glyph(ch.Code) : nullptr;
    std::int32_t glyphWidth = 0;
    if (glyph != nullptr) {
      if (glyph->ImageHeight() != glyphHeight) {
        i = next;
        continue;
      }
      glyphWidth = glyph->ImageWidth();
    } else {
      if ((!platform && !FFallback) || Invisible(ch.Code)) {
        i = next;
        continue;
      }
      glyphWidth = MeasurePiece(text.substr(std::size_t(ch.Index), std::size_t(ch.Length)), pieceHeight);
      if (glyphWidth <= 0) {
        i = next;
        continue;
      }
    }
    std::int32_t gap = 0;
    if (line->Count > 0) {
      gap = std::max(Kern(prevCode, ch.Code) + FCharacterSpacing, -prevWidth);
    }
    const std::int32_t width = std::min(glyphWidth, maxWidth);
    const std::int64_t right = std::int64_t(x) + gap + width;
    if (right > maxWidth && line->Count > 0) {
      if (wrapMode == kOxaWrapNone) {
        i = next;
        continue;
      }
      if (wrapMode == kOxaWrapWord && boundaryKeep > 0) {
        // A boundary that keeps nothing would cut nothing and never end.
        line->Count = boundaryKeep;
        i = boundaryNext;
      }
      newLine();
      skipSpaces = true;
      continue;
    }
    TOxaTextRect rect;
    rect.Gap = gap;
    rect.X = x + gap;
    rect.Width = width;
    rect.Index = ch.Index;
    rect.Length = ch.Length;
    rect.Glyph = glyph;
    const bool afterSpace = prevCode == ' ';
    line->Add(rect);
    x = rect.X + width;
    prevCode = ch.Code;
    prevWidth = width;
    if (ch.Code == ' ' && !afterSpace) {
      boundaryKeep = line->Count - 1;
      boundaryNext = i;
    } else if (BoundaryAfter(ch.Code)) {
      boundaryKeep = line->Count;
      boundaryNext = next;
    }
    i = next;
  }
  if (line->Count == 0) {
    --block.Count;
  }
  Finish(block, maxHeight, ellipsisLine, ellipsis, maxWidth);
}

void TOxaFont::Draw(TOxaBitmap& target, const TOxaTextBlock& block, int x, int y) const
{
  x = std::max(x, 0);
  y = std::max(y, 0);
  if (block.Count == 0 || block.Width <= 0 || block.Height <= 0) {
    return;
  }
  const int needWidth = std::max(target.ImageWidth(), x + block.Width);
  const int needHeight = std::max(target.ImageHeight(), y + block.Height);
  if (needWidth != target.ImageWidth() || needHeight != target.ImageHeight()) {
    target.ChangeImageSize(needWidth, needHeight, target.PixelFormat());
  }
  const TOxaColor background = FBitmaps == nullptr ? FGdiColor : block.KeyColor;
  target.FillSurface(RECT{x, y, x + block.Width, y + block.Height}, background);
  const int surfaceWidth = target.ImageWidth();
  const int surfaceHeight = target.ImageHeight();
  const TOxaBltTable* table = target.BltTable();
  target.ScanLine(0);  // pending GDI output done and the pixels the target's own before copying
  struct TPiece {
    int X, Y, Width;
    std::string_view Text;
  };
  std::vector<TPiece> pieces;
  for (int l = 0; l < block.Count; ++l) {
    const TOxaTextLine& line = block[l];
    for (int g = 0; g < line.Count; ++g) {
      const TOxaTextRect& rect = line[g];
      const int left = x + line.Offset + rect.X;
      const int top = y + line.Y;
      // Only the placed width is copied, and never past the surface.
      const int width = std::min(rect.Width, surfaceWidth - left);
      const int height = std::min(block.FontHeight, surfaceHeight - top);
      if (width <= 0 || height <= 0) {
        continue;
      }
      if (rect.Glyph == nullptr) {
        const std::size_t index = std::size_t(rect.Index);
        const std::string_view piece =
            index < block.Text.size()
                ? std::string_view(block.Text).substr(index, std::size_t(rect.Length))
                : std::string_view(block.Ellipsis)
                      .substr(std::min(index - block.Text.size(), block.Ellipsis.size()),
                              std::size_t(rect.Length));
        pieces.push_back({left, top, width, piece});
        continue;
      }
      TOxaBitmap& glyph = *rect.Glyph;
      const int bandHeight = std::min(height, glyph.ImageHeight() - block.FontTop);
      const int bandWidth = std::min(width, glyph.ImageWidth());
      if (bandHeight <= 0 || bandWidth <= 0) {
        continue;
      }
      const RECT source{0, block.FontTop, bandWidth, block.FontTop + bandHeight};
      if (table != nullptr && glyph.PixelFormat() == target.PixelFormat() && glyph.BltTable() == table) {
        glyph.ScanLineRead(0);
        if (rect.Gap >= 0 && block.LineSpacing >= 0) {
          table->Copy(target.Desc(), glyph.Desc(), left, top, 0, block.FontTop, bandWidth, bandHeight);
        } else {
          table->TransparentCopy(target.Desc(), glyph.Desc(), left, top, 0, block.FontTop, bandWidth,
                                 bandHeight, block.KeyColor);
        }
      } else {
        // Another format: the node converts while drawing.
        glyph.Draw(target, left, top, source);
      }
    }
  }
  for (const TPiece& piece : pieces) {
    const int pixelHeight = FBitmaps == nullptr ? FGdiFont.Height : block.FontHeight;
    DrawPiece(target, piece.Text, piece.X, piece.Y, piece.Width, block.FontHeight, pixelHeight, background);
  }
  target.ContentChanged();
}
