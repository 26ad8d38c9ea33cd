#include "library/CoverCache.h"

#include "framework/OxaUtils.h"
#include "library/LibraryFiles.h"
#include "platform/windows/BmpFile.h"
#include "platform/windows/CoverPicture.h"
#include "rtl/FilePaths.h"
#include "tags/Sha256.h"

namespace {

// A scaled cover is a few hundred pixels a side; an entry bigger than this is not ours.
constexpr std::size_t MaxEntryBytes = std::size_t{4} << 20;

}  // namespace

TCoverCache::TCoverCache(const std::string& folder)
    : FFolder(folder.empty() ? folder : IncludeTrailingBackslash(folder))
{
}

std::string TCoverCache::FolderOf(const std::string& libraryFolder)
{
  return IncludeTrailingBackslash(IncludeTrailingBackslash(libraryFolder) + FolderName);
}

std::string TCoverCache::EntryName(std::span<const std::uint8_t> bytes, LONG boxWidth, LONG boxHeight) const
{
  static constexpr char Hex[] = "0123456789abcdef";
  std::string name = FFolder;
  for (const std::uint8_t byte : TSha256::Of(bytes)) {
    name += Hex[byte >> 4];
    name += Hex[byte & 15];
  }
  return name + "-" + std::to_string(boxWidth) + "x" + std::to_string(boxHeight) + ".bmp";
}

std::unique_ptr<TSurface> TCoverCache::Get(std::span<const std::uint8_t> bytes, LONG boxWidth, LONG boxHeight)
{
  if (bytes.empty() || boxWidth <= 0 || boxHeight <= 0) {
    return nullptr;
  }
  if (FFolder.empty()) {
    ++FDecodes;
    return LoadCoverPicture(bytes, boxWidth, boxHeight);
  }
  const std::string entry = EntryName(bytes, boxWidth, boxHeight);
  const std::string stored = ReadSmallFile(entry, MaxEntryBytes);
  if (!stored.empty()) {
    auto surface = ParseBmp(std::span(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()));
    // What a picture of any proportions scales to touches the box on one side and fits on the other.
    if (surface && surface->BitsPerPixel() == 24 && surface->BottomUp() && surface->Width() <= boxWidth &&
        surface->Height() <= boxHeight && (surface->Width() == boxWidth || surface->Height() == boxHeight)) {
      ++FHits;
      return surface;
    }
  }
  auto surface = LoadCoverPicture(bytes, boxWidth, boxHeight);
  ++FDecodes;
  if (surface) {
    const std::vector<std::uint8_t> bmp = SerializeBmp(*surface);
    if (!ForceFolder(FFolder) ||
        !ReplaceFileContent(entry, std::string_view(reinterpret_cast<const char*>(bmp.data()), bmp.size()))) {
      Trace("TCoverCache: cannot store %s", entry);
    }
  }
  return surface;
}
