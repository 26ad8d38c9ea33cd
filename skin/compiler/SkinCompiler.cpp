// The skin compiler: reads skin/skin.txt and the drawings it names, renders every image, glyph
// store and cursor, and writes the stores' Data blobs, the cursor pixels and a source that
// embeds them. Usage: oxa-skin-compiler SKIN_DIR FONT_FILE OUT_DIR
// With --png SVG_FILE SIZE OUT_FILE it renders one drawing as a square PNG instead (the
// program's icon for the desktop).
// Any fault stops with a message naming the source line or drawing and a non-zero exit; no
// output is replaced then, so a build never sees a short store.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Raster.h"

namespace fs = std::filesystem;

namespace {

using TParams = std::map<std::string, std::string>;

struct TEntry {
  std::string Name;
  std::string Source;
  TSkinImage Image;  // straight ARGB; written as 24-bit over black
};

struct TStore {
  std::string Name;
  std::vector<TEntry> Entries;
};

struct TCursor {
  std::string Name;
  std::string Source;
  int HotspotX = 0;
  int HotspotY = 0;
  TSkinImage Image;
};

struct TGlyphBand {
  int Top = 0;
  int Height = 0;
  int Baseline = 0;
  std::uint32_t Ink = 0;
  std::uint32_t Background = 0;
};

struct TGlyphStore {
  std::string Store;
  std::string Set;
  int Rows = 0;
  int PixelSize = 0;
  std::string Where;
  std::vector<TGlyphBand> Bands;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what)
{
  throw std::runtime_error(where + ": " + what);
}

std::string ReadFile(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error(path.string() + ": missing");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int ToInt(const std::string& where, const std::string& text)
{
  try {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used == text.size())
      return value;
  } catch (const std::exception&) {
  }
  Fail(where, "not a number: \"" + text + "\"");
}

std::uint32_t ToColor(const std::string& where, const std::string& written)
{
  const std::string text = written.empty() || written[0] != '#' ? written : written.substr(1);
  if (written.empty() || written[0] != '#' || text.size() != 6 ||
      text.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
    Fail(where, "not a colour #RRGGBB: \"" + written + "\"");
  return std::uint32_t(std::stoul(text, nullptr, 16));
}

// Replaces {KEY} by its value; a placeholder left without a value is a fault of the drawing.
std::string Expand(const std::string& where, const std::string& text, const TParams& params)
{
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '{') {
      const std::size_t close = text.find('}', i);
      if (close != std::string::npos) {
        const std::string key = text.substr(i + 1, close - i - 1);
        if (!key.empty() &&
            key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") == std::string::npos) {
          const auto found = params.find(key);
          if (found == params.end())
            Fail(where, "no value for {" + key + "}");
          out += found->second;
          i = close + 1;
          continue;
        }
      }
    }
    out += text[i++];
  }
  return out;
}

int CompareNames(const std::string& a, const std::string& b)
{
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    // Lower case, as the store orders its names ("_SPACE" sorts after "UZ").
    const int ca = (a[i] >= 'A' && a[i] <= 'Z') ? a[i] + 32 : (unsigned char)a[i];
    const int cb = (b[i] >= 'A' && b[i] <= 'Z') ? b[i] + 32 : (unsigned char)b[i];
    if (ca != cb)
      return ca - cb;
  }
  return int(a.size()) - int(b.size());
}

void Put32(std::string& out, std::uint32_t v)
{
  for (int i = 0; i < 4; ++i)
    out += char((v >> (8 * i)) & 255);
}

// The node image record: magic, node rectangle 0, 0, 0, 0, the surface size, format 6 and the
// rows bottom-up in blue, green, red order, each padded to four bytes.
void PutImage(std::string& out, const TSkinImage& image)
{
  Put32(out, 0xFF439ECFU);
  for (int i = 0; i < 4; ++i)
    Put32(out, 0);
  Put32(out, std::uint32_t(image.Width));
  Put32(out, std::uint32_t(image.Height));
  out += char(6);
  const int stride = (image.Width * 3 + 3) / 4 * 4;
  for (int y = image.Height - 1; y >= 0; --y) {
    for (int x = 0; x < image.Width; ++x) {
      const std::uint32_t p = image.Pixels[std::size_t(y) * image.Width + x];
      const std::uint32_t a = p >> 24;
      out += char((((p & 255) * a) + 127) / 255);
      out += char(((((p >> 8) & 255) * a) + 127) / 255);
      out += char(((((p >> 16) & 255) * a) + 127) / 255);
    }
    out.append(std::size_t(stride - image.Width * 3), '\0');
  }
}

std::string StoreBlob(TStore& store)
{
  std::sort(store.Entries.begin(), store.Entries.end(),
            [](const TEntry& a, const TEntry& b) { return CompareNames(a.Name, b.Name) < 0; });
  std::string note = "path=skin/art\r\n";
  for (std::size_t i = 0; i < store.Entries.size(); ++i) {
    if (i > 0 && CompareNames(store.Entries[i - 1].Name, store.Entries[i].Name) == 0)
      Fail(store.Name, "image \"" + store.Entries[i].Name + "\" appears twice");
    note += store.Entries[i].Name + "=" + store.Entries[i].Source + "\r\n";
  }
  std::string out;
  Put32(out, std::uint32_t(note.size()));
  out += note;
  Put32(out, std::uint32_t(store.Entries.size()));
  for (const TEntry& entry : store.Entries) {
    Put32(out, std::uint32_t(entry.Name.size()));
    out += entry.Name;
    PutImage(out, entry.Image);
  }
  return out;
}

// Glyph names of the sets the stores carry, with their characters.
std::vector<std::pair<std::string, unsigned>> GlyphSet(const std::string& where, const std::string& set)
{
  std::vector<std::pair<std::string, unsigned>> names;
  auto digitsAndCapitals = [&names] {
    for (unsigned c = '0'; c <= '9'; ++c)
      names.emplace_back(std::string(1, char(c)), c);
    for (unsigned c = 'A'; c <= 'Z'; ++c)
      names.emplace_back("U" + std::string(1, char(c)), c);
  };
  if (set == "full") {
    names = {{"_AT", '@'},    {"_BANG", '!'}, {"_COLON", ':'},        {"_COMMA", ','},     {"_DOT", '.'},
             {"_MINUS", '-'}, {"_PLUS", '+'}, {"_QUOTE_DOUBLE", '"'}, {"_SEMICOLON", ';'}, {"_SPACE", ' '}};
    digitsAndCapitals();
  } else if (set == "gray") {
    names = {{"_SPACE", ' '}, {"C196", 196}, {"C214", 214}, {"C220", 220}};
    digitsAndCapitals();
  } else if (set == "big") {
    names = {{"_MINUS", '-'}, {"_SPACE", ' '}, {"_UNDERSCORE", '_'}};
    digitsAndCapitals();
  } else {
    Fail(where, "unknown glyph set \"" + set + "\"");
  }
  return names;
}

std::uint32_t Blend(std::uint32_t ink, std::uint32_t bg, unsigned cover)
{
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const unsigned i = (ink >> shift) & 255;
    const unsigned b = (bg >> shift) & 255;
    out |= ((i * cover + b * (255 - cover) + 127) / 255) << shift;
  }
  return out;
}

// Each band is drawn on its own background, which is also the band's key colour; an ink pixel
// that blends to exactly the key would become a hole, so it is moved one step off it.
TStore RenderGlyphs(const TGlyphStore& spec, const std::string& font)
{
  TSkinFace face(font, spec.PixelSize);
  TStore store{spec.Store, {}};
  for (const auto& [name, code] : GlyphSet(spec.Where, spec.Set)) {
    std::vector<TSkinGlyph> bands;
    int width = 1;
    for (const TGlyphBand& band : spec.Bands) {
      bands.push_back(face.Render(code, spec.Rows, band.Baseline));
      width = std::max(width, bands.back().Width);
    }
    TSkinImage image{width, spec.Rows, std::vector<std::uint32_t>(std::size_t(width) * spec.Rows)};
    for (int y = 0; y < spec.Rows; ++y) {
      // Rows between bands take the background of the band above (the first band's above it).
      std::size_t b = 0;
      for (std::size_t i = 0; i < spec.Bands.size(); ++i)
        if (y >= spec.Bands[i].Top)
          b = i;
      const TGlyphBand& band = spec.Bands[b];
      const bool inside = y >= band.Top && y < band.Top + band.Height;
      for (int x = 0; x < width; ++x) {
        std::uint32_t colour = band.Background;
        const TSkinGlyph& glyph = bands[b];
        const unsigned cover =
            inside && x < glyph.Width ? glyph.Coverage[std::size_t(y) * glyph.Width + x] : 0;
        if (cover != 0) {
          colour = Blend(band.Ink, band.Background, cover);
          if (colour == band.Background)
            colour ^= 1U;
        }
        image.Pixels[std::size_t(y) * width + x] = 0xFF000000U | colour;
      }
    }
    store.Entries.push_back({name, "OpenSans:" + std::to_string(code), std::move(image)});
  }
  return store;
}

// The KEY=VALUE words from a position on, whatever else stands between them.
TParams KeyValuesAmong(const std::vector<std::string>& words, std::size_t from)
{
  TParams params;
  for (std::size_t i = from; i < words.size(); ++i)
    if (const std::size_t eq = words[i].find('='); eq != std::string::npos && eq > 0)
      params[words[i].substr(0, eq)] = words[i].substr(eq + 1);
  return params;
}

struct TSkin {
  std::vector<TStore> Stores;
  std::vector<TCursor> Cursors;
};

TSkin Compile(const fs::path& dir, const std::string& font)
{
  const fs::path manifest = dir / "skin.txt";
  std::istringstream lines(ReadFile(manifest));
  std::map<char, std::string> codes;
  std::map<std::string, TParams> looks;
  TSkin skin;
  TStore* store = nullptr;
  std::vector<TGlyphStore> glyphs;
  std::map<std::string, std::string> templates;
  std::map<std::string, std::string> defines;  // texts with spaces, used as KEY=@NAME
  auto drawing = [&](const std::string& where, const std::string& file) -> const std::string& {
    auto found = templates.find(file);
    if (found == templates.end()) {
      try {
        found = templates.emplace(file, ReadFile(dir / "art" / file)).first;
      } catch (const std::exception&) {
        Fail(where, "drawing skin/art/" + file + " is missing");
      }
    }
    return found->second;
  };
  auto resolve = [&](const std::string& where, TParams& params) {
    for (auto& [key, value] : params)
      if (!value.empty() && value[0] == '@') {
        const auto found = defines.find(value.substr(1));
        if (found == defines.end())
          Fail(where, "no define \"" + value.substr(1) + "\" for " + key);
        value = found->second;
      }
  };
  auto render = [&](const std::string& where, const std::string& name, const std::string& file, int w, int h,
                    TParams params) {
    if (store == nullptr)
      Fail(where, "image before any store");
    params["W"] = std::to_string(w);
    params["H"] = std::to_string(h);
    resolve(where, params);
    const std::string source = "skin/art/" + file;
    try {
      store->Entries.push_back({name, file, RenderSvg(Expand(source, drawing(where, file), params), w, h)});
    } catch (const std::runtime_error& e) {
      Fail(where + " (" + name + ")",
           std::string(e.what()).find(source) == 0 ? e.what() : source + ": " + e.what());
    }
  };
  auto keyValues = [](const std::string& where, const std::vector<std::string>& words, std::size_t from) {
    TParams params;
    for (std::size_t i = from; i < words.size(); ++i) {
      const std::size_t eq = words[i].find('=');
      if (eq == std::string::npos || eq == 0)
        Fail(where, "expected KEY=VALUE, got \"" + words[i] + "\"");
      params[words[i].substr(0, eq)] = words[i].substr(eq + 1);
    }
    return params;
  };
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    const std::string where = "skin/skin.txt:" + std::to_string(number);
    // Only whole lines are comments: colours are written #RRGGBB.
    if (const std::size_t first = line.find_first_not_of(" \t");
        first != std::string::npos && line[first] == '#')
      continue;
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;)
      w.push_back(word);
    if (w.empty())
      continue;
    auto need = [&](std::size_t n) {
      if (w.size() < n)
        Fail(where, "\"" + w[0] + "\" needs " + std::to_string(n - 1) + " arguments");
    };
    const std::string& op = w[0];
    if (op == "define") {
      need(3);
      const std::size_t at = line.find(w[1]) + w[1].size();
      defines[w[1]] = line.substr(line.find_first_not_of(" \t", at));
    } else if (op == "code") {
      need(3);
      if (w[2] != "none")
        ToColor(where, w[2]);
      codes[w[1].at(0)] = w[2];
    } else if (op == "look") {
      need(2);
      looks[w[1]] = keyValues(where, w, 2);
    } else if (op == "store") {
      need(2);
      for (const TStore& other : skin.Stores)
        if (other.Name == w[1])
          Fail(where, "store \"" + w[1] + "\" appears twice");
      skin.Stores.push_back({w[1], {}});
      store = &skin.Stores.back();
    } else if (op == "coded") {
      need(6);
      for (std::size_t i = 5; i < w.size(); ++i) {
        TParams params{{"CODE", w[i]}};
        const char* keys[] = {"A", "B", "C"};
        if (w[i].size() > 3)
          Fail(where, "code \"" + w[i] + "\" is longer than three");
        for (std::size_t c = 0; c < w[i].size(); ++c) {
          const auto found = codes.find(w[i][c]);
          if (found == codes.end())
            Fail(where, "unknown colour code '" + std::string(1, w[i][c]) + "' in \"" + w[i] + "\"");
          params[keys[c]] = found->second;
        }
        render(where, w[1] + w[i], w[2], ToInt(where, w[3]), ToInt(where, w[4]), params);
      }
    } else if (op == "looks") {
      // BASE TEMPLATE W H LOOK... KEY=VALUE...: one image per look, named BASE + LOOK.
      need(6);
      const TParams extra = KeyValuesAmong(w, 5);
      for (std::size_t i = 5; i < w.size(); ++i) {
        if (w[i].find('=') != std::string::npos)
          continue;
        const auto found = looks.find(w[i]);
        if (found == looks.end())
          Fail(where, "unknown look \"" + w[i] + "\"");
        TParams params = found->second;
        params.insert(extra.begin(), extra.end());
        render(where, w[1] + w[i], w[2], ToInt(where, w[3]), ToInt(where, w[4]), params);
      }
    } else if (op == "image") {
      need(5);
      render(where, w[1], w[2], ToInt(where, w[3]), ToInt(where, w[4]), keyValues(where, w, 5));
    } else if (op == "steps") {
      // BASE TEMPLATE WIDTH FIRST_HEIGHT LAST_HEIGHT COUNT: heights grow evenly.
      need(7);
      const int first = ToInt(where, w[4]), last = ToInt(where, w[5]), count = ToInt(where, w[6]);
      if (count < 2)
        Fail(where, "steps need a count of at least 2");
      TParams params = keyValues(where, w, 7);
      for (int s = 1; s <= count; ++s) {
        const int h = first + ((last - first) * (s - 1) * 2 + (count - 1)) / (2 * (count - 1));
        params["I"] = std::to_string(s);
        render(where, w[1] + std::to_string(s), w[2], ToInt(where, w[3]), h, params);
      }
    } else if (op == "frames") {
      // BASE TEMPLATE W H COUNT LOOK...: frame i of a look is BASE + i + LOOK; ANGLE turns.
      need(7);
      const int count = ToInt(where, w[5]);
      for (int f = 1; f <= count; ++f)
        for (std::size_t i = 6; i < w.size(); ++i) {
          const auto found = looks.find(w[i]);
          if (found == looks.end())
            Fail(where, "unknown look \"" + w[i] + "\"");
          TParams params = found->second;
          params["I"] = std::to_string(f);
          params["ANGLE"] = std::to_string(f * 360 / count);
          render(where, w[1] + std::to_string(f) + w[i], w[2], ToInt(where, w[3]), ToInt(where, w[4]),
                 params);
        }
    } else if (op == "glyphs") {
      need(5);
      glyphs.push_back({w[1], w[4], ToInt(where, w[2]), ToInt(where, w[3]), where, {}});
      if (glyphs.back().Rows <= 0 || glyphs.back().Rows > 256 || glyphs.back().PixelSize <= 0 ||
          glyphs.back().PixelSize > 256)
        Fail(where, "glyph rows and pixel size must be 1 to 256");
    } else if (op == "band") {
      // TOP HEIGHT BASELINE INK BACKGROUND
      need(6);
      if (glyphs.empty())
        Fail(where, "band before any glyph store");
      TGlyphBand band{ToInt(where, w[1]), ToInt(where, w[2]), ToInt(where, w[3]), ToColor(where, w[4]),
                      ToColor(where, w[5])};
      if (band.Ink == band.Background)
        Fail(where, "ink equals the band's key colour");
      if (band.Top < 0 || band.Height <= 0 || band.Top + band.Height > glyphs.back().Rows ||
          band.Baseline <= band.Top || band.Baseline > band.Top + band.Height)
        Fail(where, "band outside the glyph height");
      glyphs.back().Bands.push_back(band);
    } else if (op == "cursor") {
      need(5);
      TCursor cursor{w[1], w[2], ToInt(where, w[3]), ToInt(where, w[4]), {}};
      const std::string source = "skin/art/" + w[2];
      TParams params = keyValues(where, w, 5);
      params["W"] = "32";
      params["H"] = "32";
      resolve(where, params);
      try {
        cursor.Image = RenderSvg(Expand(source, drawing(where, w[2]), params), 32, 32);
      } catch (const std::runtime_error& e) {
        Fail(where + " (" + w[1] + ")", source + ": " + e.what());
      }
      if (cursor.HotspotX < 0 || cursor.HotspotX >= 32 || cursor.HotspotY < 0 || cursor.HotspotY >= 32)
        Fail(where + " (" + w[1] + ")", "hotspot lies outside the 32 x 32 image");
      skin.Cursors.push_back(std::move(cursor));
    } else {
      Fail(where, "unknown directive \"" + op + "\"");
    }
  }
  for (const TGlyphStore& spec : glyphs) {
    if (spec.Bands.empty())
      Fail(spec.Where, "glyph store without bands");
    skin.Stores.push_back(RenderGlyphs(spec, font));
  }
  return skin;
}

std::uint64_t Hash(const std::string& bytes)
{
  std::uint64_t h = 1469598103934665603ULL;
  for (const char c : bytes)
    h = (h ^ (unsigned char)c) * 1099511628211ULL;
  return h;
}

// Writes through a temporary file and a rename, and leaves an unchanged file alone so that
// nothing depending on it rebuilds.
void WriteIfChanged(const fs::path& path, const std::string& bytes)
{
  if (fs::exists(path)) {
    try {
      if (ReadFile(path) == bytes)
        return;
    } catch (const std::exception&) {
    }
  }
  const fs::path temp = path.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
      throw std::runtime_error(temp.string() + ": cannot write");
  }
  fs::rename(temp, path);
}

void Emit(const TSkin& skin, TStore* stores, const fs::path& out)
{
  std::vector<std::pair<std::string, std::string>> blobs;  // symbol suffix, bytes
  std::ostringstream table;
  std::ostringstream asmText;
  std::string all;
  for (std::size_t i = 0; i < skin.Stores.size(); ++i) {
    const std::string blob = StoreBlob(stores[i]);
    const std::string file = "store-" + stores[i].Name + ".bin";
    WriteIfChanged(out / file, blob);
    all += blob;
    asmText << "    \".balign 16\\n\"\n    \"oxa_skin_store_" << i << ":\\n\"\n    \".incbin \\\""
            << (out / file).string() << "\\\"\\n\"\n";
    table << "    {\"" << stores[i].Name << "\", oxa_skin_store_" << i << ", " << blob.size() << "U},\n";
  }
  std::string cursorPixels;
  std::ostringstream cursorTable;
  for (const TCursor& cursor : skin.Cursors) {
    cursorTable << "    {\"" << cursor.Name << "\", 32, 32, " << cursor.HotspotX << ", " << cursor.HotspotY
                << ", " << cursorPixels.size() / 4 << "U},\n";
    for (const std::uint32_t p : cursor.Image.Pixels)
      Put32(cursorPixels, p);
  }
  WriteIfChanged(out / "cursors.bin", cursorPixels);
  all += cursorPixels;
  std::ostringstream src;
  src << "// Generated by oxa-skin-compiler from skin/skin.txt; edit the skin, not this file.\n"
      << "// Content hash " << std::hex << Hash(all) << std::dec << " (the embedded files change with it).\n"
      << "#include \"skin/OxaSkinData.h\"\n\n"
      << "extern \"C\" {\n";
  for (std::size_t i = 0; i < skin.Stores.size(); ++i)
    src << "extern const unsigned char oxa_skin_store_" << i << "[];\n";
  src << "extern const unsigned char oxa_skin_cursors[];\n}\n\n"
      << "__asm__(\n    \".pushsection .rodata\\n\"\n"
      << asmText.str() << "    \".balign 16\\n\"\n    \"oxa_skin_cursors:\\n\"\n    \".incbin \\\""
      << (out / "cursors.bin").string() << "\\\"\\n\"\n    \".byte 0\\n\"\n    \".popsection\\n\");\n\n"
      << "const TOxaSkinBlob kOxaSkinStores[] = {\n"
      << table.str() << "};\n"
      << "const std::size_t kOxaSkinStoreCount = " << skin.Stores.size() << ";\n\n"
      << "const TOxaSkinCursorRecord kOxaSkinCursorRecords[] = {\n"
      << cursorTable.str() << "};\n"
      << "const std::size_t kOxaSkinCursorCount = " << skin.Cursors.size() << ";\n"
      << "const unsigned char* const kOxaSkinCursorPixels = oxa_skin_cursors;\n";
  WriteIfChanged(out / "OxaSkinData.cpp", src.str());
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc == 5 && std::string(argv[1]) == "--png") {
    try {
      std::ifstream in(argv[2], std::ios::binary);
      std::stringstream svg;
      svg << in.rdbuf();
      if (!in)
        throw std::runtime_error(std::string("cannot read ") + argv[2]);
      const int size = std::atoi(argv[3]);
      WriteSvgPng(svg.str(), size, size, argv[4]);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "oxa-skin-compiler: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: oxa-skin-compiler SKIN_DIR FONT_FILE OUT_DIR\n"
                 "       oxa-skin-compiler --png SVG_FILE SIZE OUT_FILE\n");
    return 2;
  }
  try {
    TSkin skin = Compile(argv[1], argv[2]);
    fs::create_directories(argv[3]);
    Emit(skin, skin.Stores.data(), argv[3]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "oxa-skin-compiler: %s\n", e.what());
    return 1;
  }
  return 0;
}
