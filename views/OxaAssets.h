#pragma once
// What the three asset containers share: they own their stores, fonts and sets (freed with the
// container), find them by name, and build them from tables. Only the stores' Data blobs and
// the cursors come from the program's resources; the blobs are handed in by a source, since the
// skin's artwork is compiled elsewhere.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/OxaGraphics.h"
#include "platform/windows/Windows.h"
#include "rtl/Component.h"

// The Data blob of a named store: a copy the store takes over, bytes that outlive every store
// (compiled into the program: the store reads them in place), or nothing when the program
// carries no such store.
struct TOxaStoreBlob {
  TOxaStoreBlob(std::optional<std::string> copy = std::nullopt) : Copy(std::move(copy)) {}
  static TOxaStoreBlob Compiled(std::string_view bytes)
  {
    TOxaStoreBlob blob;
    blob.Static = bytes;
    return blob;
  }
  std::optional<std::string> Copy;
  std::optional<std::string_view> Static;
};
using TOxaStoreSource = std::function<TOxaStoreBlob(std::string_view storeName)>;

// The instance whose resources hold the program's cursors.
HINSTANCE OxaProgramInstance() noexcept;

// Kerning rules of the glyph fonts; the scan container's copies keep the first four.
extern const std::vector<std::string> kOxaGlyphKerning;

struct TOxaGlyphFontSpec {
  const char* Name;
  const char* Store;
  int FontTop;
  int CharacterSpacing;
};

struct TOxaPlatformFontSpec {
  const char* Name;
  const char* Face;
  int Height;
  TOxaColor Color;
  TOxaColor Background;
};

class TOxaAssetsForm : public TComponent {
 public:
  explicit TOxaAssetsForm(TComponent* owner, TOxaStoreSource source = {});

  // A component of the container by name (exact), null when there is none.
  TComponent* Find(std::string_view name) const noexcept;
  TOxaBitmaps* Store(std::string_view name) const noexcept;
  TOxaFont* Font(std::string_view name) const noexcept;
  TOxaFonts* FontSet(std::string_view name) const noexcept;
  TOxaColors* ColorSet(std::string_view name) const noexcept;

 protected:
  TOxaBitmaps* NewStore(const char* name);
  TOxaFont* NewGlyphFont(const TOxaGlyphFontSpec& spec, const std::vector<std::string>& kerning);
  TOxaFont* NewPlatformFont(const TOxaPlatformFontSpec& spec);
  TOxaFonts* NewFonts(const char* name, const std::vector<const char*>& states);
  TOxaColors* NewColors(const char* name, const std::vector<TOxaColor>& states);

 private:
  TOxaStoreSource FSource;
};
