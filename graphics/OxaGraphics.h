#pragma once
// The shared drawing resources a node takes from its parent or sets itself: a font, state sets
// of fonts and colours, and a named bitmap store. Each is a component with a dependants list;
// nodes register as observers (OnDestroy, OnChange) and hear when the resource changes or dies.
//
// Decisions of this implementation:
// - Text is UTF-8. A code point up to 255 is its glyph code; a byte that does not start a valid
//   sequence is taken as its own code, so Latin-1 text still shows.
// - Layout keeps the corrected FontTop, FontHeight and LineSpacing in the block; the font's own
//   properties are never changed by laying text out.
// - A line's width is the right edge of its rightmost glyph, so a negative spacing never lets
//   the last glyph hide a wider earlier one from the block's width.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/OxaObjects.h"
#include "graphics/OxaBitmapBlt.h"
#include "rtl/Stream.h"

class TOxaBitmap;
class TOxaBitmaps;

// A component observed by nodes. Changed() tells every observer (batched by BeginUpdate and
// EndUpdate).
class TOxaGraphicsObject : public TOxaComponent {
 public:
  explicit TOxaGraphicsObject(TComponent* owner = nullptr) : TOxaComponent(owner) {}

  // Leaves the dependants list. Unlike Objects() this works while the object is marked
  // destroying (an owner marks all its components before freeing the first), so observers can
  // always leave from their own destructors.
  void RemoveObserver(const TNotifyEvent& onDestroy, const TNotifyEvent& onChange)
  {
    OwnObjects().Remove(onDestroy, onChange);
  }
};

// The states the font and colour sets are indexed by; numbers beyond these are free for views.
enum TOxaState : int {
  osNormal = 0,
  osNormalActive = 1,
  osRollover = 2,
  osRolloverActive = 3,
  osRolloverGroup = 4,
  osDisabled = 5,
};
constexpr int kOxaStateCount = 6;
constexpr int kOxaPersistedStates = 5;

// --- Text layout records ---

// One placed glyph. Glyph is null for a character drawn with the platform font.
struct TOxaTextRect {
  std::int32_t Gap = 0;
  std::int32_t X = 0;
  std::int32_t Width = 0;
  std::int32_t Index = 0;  // byte offset of the character in the text
  TOxaBitmap* Glyph = nullptr;
  std::int32_t Length = 0;  // bytes of the character (platform-font pieces: of the piece)
};

struct TOxaTextLine {
  static constexpr int GlyphGrowth = 128;
  std::int32_t Offset = 0;
  std::int32_t Y = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::int32_t Reserved = 0;
  std::vector<TOxaTextRect> Rects;  // size() is the capacity
  std::int32_t Count = 0;

  void Add(const TOxaTextRect& rect)
  {
    if (Count == std::int32_t(Rects.size())) {
      Grow();
    }
    Rects[std::size_t(Count++)] = rect;
  }
  const TOxaTextRect& operator[](int index) const { return Rects[std::size_t(index)]; }
  // The right edge of the rightmost glyph.
  std::int32_t RightEdge() const noexcept;

 private:
  void Grow();
};

struct TOxaTextBlock {
  static constexpr int LineGrowth = 64;
  std::string Text;
  // The ellipsis placed on the last line, if any; its rects index past the text into it.
  std::string Ellipsis;
  std::int32_t Alignment = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::int32_t FontTop = 0;
  std::int32_t FontHeight = 0;
  std::int32_t LineSpacing = 0;
  std::int32_t CharacterSpacing = 0;
  TOxaColor KeyColor = 0;
  std::vector<TOxaTextLine> Lines;  // size() is the capacity
  std::int32_t Count = 0;

  void Clear();
  TOxaTextLine& AddLine();
  const TOxaTextLine& operator[](int index) const { return Lines[std::size_t(index)]; }
};

// The platform font a glyph font falls back to, and draws everything with when it has no store.
struct TOxaGdiFont {
  std::string Name = "Arial";
  std::int32_t Height = -12;  // negative: character height in pixels
  bool Bold = false;
  bool Italic = false;
  TOxaColor Color = 0;  // ABGR, as COLORREF
  bool operator==(const TOxaGdiFont&) const = default;
};

// The name of a character's image in a glyph store, empty when the code has none.
std::string_view GlyphName(int code) noexcept;

constexpr int kOxaWrapNone = 0;
constexpr int kOxaWrapChar = 1;
constexpr int kOxaWrapWord = 2;

class TOxaFont : public TOxaGraphicsObject {
 public:
  explicit TOxaFont(TComponent* owner = nullptr);
  ~TOxaFont() override;
  TOxaFont(const TOxaFont&) = delete;
  TOxaFont& operator=(const TOxaFont&) = delete;

  void Assign(const TPersistent& source) override;

  const TOxaGdiFont& GdiFont() const noexcept { return FGdiFont; }
  void SetGdiFont(const TOxaGdiFont& value);
  TOxaColor GdiColor() const noexcept { return FGdiColor; }
  void SetGdiColor(TOxaColor value);
  std::int32_t GdiFontHeight() const noexcept { return FGdiFont.Height; }
  void SetGdiFontHeight(std::int32_t value);
  const std::string& Prefix() const noexcept { return FPrefix; }
  void SetPrefix(const std::string& value);
  const std::string& Suffix() const noexcept { return FSuffix; }
  void SetSuffix(const std::string& value);
  TOxaBitmaps* Bitmaps() const noexcept { return FBitmaps; }
  void SetBitmaps(TOxaBitmaps* value);
  const std::vector<std::string>& Kerning() const noexcept { return FKerning; }
  void SetKerning(std::vector<std::string> value);
  std::int32_t FontTop() const noexcept { return FFontTop; }
  void SetFontTop(std::int32_t value);
  std::int32_t FontHeight() const noexcept { return FFontHeight; }
  void SetFontHeight(std::int32_t value);
  bool AutoFontHeight() const noexcept { return FAutoFontHeight; }
  void SetAutoFontHeight(bool value);
  std::int32_t LineSpacing() const noexcept { return FLineSpacing; }
  void SetLineSpacing(std::int32_t value);
  std::int32_t CharacterSpacing() const noexcept { return FCharacterSpacing; }
  void SetCharacterSpacing(std::int32_t value);
  // Whether characters the store lacks are drawn with the platform font (on by default).
  bool Fallback() const noexcept { return FFallback; }
  void SetFallback(bool value);

  // The glyph of a character code, null when the store has none. Looked up on first use: a
  // store makes an image when it is first asked for, and most fonts draw few characters.
  TOxaBitmap* Glyph(int code) const noexcept;
  // The adjustment for the pair (prev, cur), 0 when there is none.
  std::int32_t Kern(int prev, int cur) const noexcept;
  // The platform font's cell height as last read (0 before any read).
  std::int32_t TextHeight() const noexcept { return FTextHeight; }

  void Layout(std::string_view text, int alignment, TOxaTextBlock& block, int maxHeight, int maxWidth,
              std::string_view ellipsis = {}, int wrapMode = kOxaWrapNone) const;
  void Draw(TOxaBitmap& target, const TOxaTextBlock& block, int x, int y) const;

  void Loaded() override;

 private:
  struct TChar {
    TOxaBitmap* Glyph = nullptr;
    bool Found = false;  // Glyph holds the lookup for the current store, prefix and suffix
    std::vector<std::pair<std::uint8_t, std::int32_t>> Kerns;
  };

  void BuildGlyphs();
  // Builds the pairs from the rules; done on the first Kern after the rules change.
  void BuildKerning() const;
  void ReadMetrics();
  void StoreDestroyed(TObject* sender);
  void StoreChanged(TObject* sender);
  void LayoutGlyphs(std::string_view text, int alignment, TOxaTextBlock& block, int maxHeight, int maxWidth,
                    std::string_view ellipsis, int wrapMode) const;
  // Width of a platform-font piece at the given pixel height.
  std::int32_t MeasurePiece(std::string_view piece, int pixelHeight) const;
  std::int32_t MeasureUncached(std::string_view piece, int pixelHeight) const;
  void DrawPiece(TOxaBitmap& target, std::string_view piece, int x, int y, int width, int height,
                 int pixelHeight, TOxaColor background) const;

  TOxaGdiFont FGdiFont;
  TOxaColor FGdiColor = 0xFFFFFF;
  std::string FPrefix;
  std::string FSuffix;
  TOxaBitmaps* FBitmaps = nullptr;
  std::vector<std::string> FKerning;
  std::int32_t FFontTop = 0;
  std::int32_t FFontHeight = 0;
  bool FAutoFontHeight = true;
  bool FFallback = true;
  std::int32_t FLineSpacing = 0;
  std::int32_t FCharacterSpacing = 0;
  std::int32_t FTextHeight = 0;
  mutable std::array<TChar, 256> FChars{};
  mutable bool FKerningStale = false;
  // Widths of platform-font pieces by pixel height, forgotten when the platform font changes.
  mutable std::map<std::pair<int, std::string>, std::int32_t> FPieceWidths;
};

// An observed object whose parent is of its own kind (state sets, image stores): the parent is
// observed so that a destroyed parent is dropped and a changed one passes its change on.
class TOxaChainedObject : public TOxaGraphicsObject {
 public:
  using TOxaGraphicsObject::TOxaGraphicsObject;
  ~TOxaChainedObject() override;
  TOxaChainedObject(const TOxaChainedObject&) = delete;
  TOxaChainedObject& operator=(const TOxaChainedObject&) = delete;

 protected:
  TOxaChainedObject* ParentObject() const noexcept { return FParent; }
  // Raises "%s.SetParent: Parent can not be a child or self" for a cycle.
  void SetParentObject(TOxaChainedObject* value);

 private:
  void ParentDestroyed(TObject* sender);
  void ParentChanged(TObject* sender);
  TOxaChainedObject* FParent = nullptr;
};

// Common part of the two state sets.
class TOxaStateSet : public TOxaChainedObject {
 public:
  using TOxaChainedObject::TOxaChainedObject;

 protected:
  TOxaStateSet* ParentSet() const noexcept { return static_cast<TOxaStateSet*>(ParentObject()); }
  void SetParentSet(TOxaStateSet* value) { SetParentObject(value); }
};

class TOxaFonts : public TOxaStateSet {
 public:
  using TOxaStateSet::TOxaStateSet;
  ~TOxaFonts() override;
  TOxaFonts(const TOxaFonts&) = delete;
  TOxaFonts& operator=(const TOxaFonts&) = delete;

  TOxaFonts* Parent() const noexcept { return static_cast<TOxaFonts*>(ParentSet()); }
  void SetParent(TOxaFonts* value) { SetParentSet(value); }
  // The own entry of the state, else the parent's, up the chain; null when none has one.
  TOxaFont* Items(int state) const noexcept;
  void SetItems(int state, TOxaFont* font);
  TOxaFont* Font(int state) const noexcept { return Items(state); }
  void SetFont(int state, TOxaFont* font) { SetItems(state, font); }
  int EntryCount() const noexcept { return int(FEntries.size()); }

 private:
  void FontDestroyed(TObject* sender);
  void FontChanged(TObject* sender);
  std::vector<std::pair<int, TOxaFont*>> FEntries;
};

class TOxaColors : public TOxaStateSet {
 public:
  using TOxaStateSet::TOxaStateSet;

  TOxaColors* Parent() const noexcept { return static_cast<TOxaColors*>(ParentSet()); }
  void SetParent(TOxaColors* value) { SetParentSet(value); }
  // The own entry of the state, else the parent's, up the chain; none when no set has one.
  std::optional<TOxaColor> Items(int state) const noexcept;
  void SetItems(int state, TOxaColor color);
  TOxaColor Color(int state) const noexcept { return Items(state).value_or(0); }
  void SetColor(int state, TOxaColor color) { SetItems(state, color); }
  int EntryCount() const noexcept { return int(FEntries.size()); }

 private:
  std::vector<std::pair<int, TOxaColor>> FEntries;
};

// Caps of a store's Data blob.
constexpr std::uint32_t kOxaMaxStoreNote = 1U << 20;
constexpr std::uint32_t kOxaMaxStoreCount = 65536;
constexpr std::uint32_t kOxaMaxStoreName = 255;

// A named store of images. Names are unique and sorted without regard to case; the store owns
// its images, and an image freed by anyone leaves the name list with it.
//
// A store read from a Data blob checks every record at once but makes an image only when it is
// first looked up (Bitmaps, Find, writing or copying the store): a skin store holds hundreds of
// images of which a start shows a few. Looking up is therefore not safe from two threads at once.
class TOxaBitmaps : public TOxaChainedObject {
 public:
  explicit TOxaBitmaps(TComponent* owner = nullptr);
  ~TOxaBitmaps() override;
  TOxaBitmaps(const TOxaBitmaps&) = delete;
  TOxaBitmaps& operator=(const TOxaBitmaps&) = delete;

  void Assign(const TPersistent& source) override;

  TOxaBitmaps* Parent() const noexcept { return static_cast<TOxaBitmaps*>(ParentObject()); }
  // Raises "%s.SetParent: Parent can not be a child or self" for a cycle.
  void SetParent(TOxaBitmaps* value) { SetParentObject(value); }
  int Count() const noexcept { return int(FNames.size()); }
  const std::string& Names(int index) const;
  TOxaBitmap* Bitmaps(int index) const;
  // Case-insensitive, then the parent chain; null when no store has the name (or, should
  // memory run out, when its image cannot be made yet).
  TOxaBitmap* Find(std::string_view name) const noexcept;
  // Stores a private copy under the name (replacing an image of the same name).
  TOxaBitmap* Add(const std::string& name, const TOxaBitmap& bitmap);
  // Stores source's image at index under the name, as Add does; an image source has not made
  // yet is stored as its record (so in its own pixel format, where Add's copy is 24-bit), made
  // here on its first lookup: no image is made twice.
  void AddFrom(const std::string& name, const TOxaBitmaps& source, int index);
  void Clear();
  const std::string& Note() const noexcept { return FNote; }
  void SetNote(std::string value) { FNote = std::move(value); }
  // Images read but not made yet.
  int PendingCount() const noexcept;
  // Moves on whenever the store's names or images change (read, added, replaced, removed,
  // cleared), and only then: making an image on its first lookup is no change. Followers
  // compare it to know whether the images they took are still the store's.
  std::uint64_t Revision() const noexcept { return FRevision; }

  // The Data blob. Reading checks every field against the bytes left and the caps, requires
  // the names in the order the store keeps them, and leaves the store as it was on failure
  // (raising "%s.LoadFromStream: Invalid graphic format"). Read from a stream, every image is
  // made at once; read from bytes, each is made on its first lookup, from a copy of the bytes
  // (taken over when they are handed in), or from the bytes themselves when the caller
  // promises they outlive the store (ReadStaticData: data compiled into the program).
  void ReadData(TStream& stream);
  void WriteData(TStream& stream) const;
  void ReadData(std::string_view bytes);
  void ReadData(std::string&& bytes);
  void ReadStaticData(std::string_view bytes);
  std::string Data() const;

 private:
  struct TEntry {
    std::string Name;
    // Null until a store read from bytes makes the image.
    mutable TOxaBitmap* Bitmap = nullptr;
    // The image's record, while it is not made (and so long as it lies in bytes FKeepers or
    // the program keep).
    std::string_view Record;
  };
  // Puts entry in its place by name, freeing the image of an entry it replaces.
  void Store(TEntry entry);

  void BitmapRemoved(TObject* object);
  std::unique_ptr<TOxaObjects> NewList();
  void ReadBytes(std::string_view bytes, std::shared_ptr<const std::string> keeper);
  TOxaBitmap* Made(const TEntry& entry) const;

  std::unique_ptr<TOxaObjects> FOwned;
  std::vector<TEntry> FNames;
  std::string FNote;
  // The owners of the blobs the entries not made yet are read from (none for bytes compiled
  // into the program).
  std::vector<std::shared_ptr<const std::string>> FKeepers;
  std::uint64_t FRevision;
  bool FClearing = false;
  // A revision no store has had: every change of every store takes a new one.
  static std::uint64_t NextRevision() noexcept;
  void Revise() noexcept { FRevision = NextRevision(); }
};

// The stores of a chain and their revisions at one moment. Images a follower looked up in the
// chain are still the chain's while its stamp is unchanged, so the lookups need not be repeated
// (revisions are unique among all stores, so a store freed and another made in its place never
// match). A chain deeper than the stamp holds matches no stamp.
class TOxaStoreStamp {
 public:
  TOxaStoreStamp() noexcept = default;
  explicit TOxaStoreStamp(const TOxaBitmaps* store) noexcept;
  bool operator==(const TOxaStoreStamp& other) const noexcept;

 private:
  static constexpr std::size_t Depth = 8;
  std::array<std::pair<const TOxaBitmaps*, std::uint64_t>, Depth> FLinks{};
  std::size_t FCount = 0;
  bool FDeep = false;
};

// Case-insensitive (ASCII) ordering of store names: negative, 0 or positive.
int OxaCompareNames(std::string_view a, std::string_view b) noexcept;
