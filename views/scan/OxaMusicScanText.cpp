// The scan panel's texts.
#include "views/scan/OxaMusicScanText.h"

#include <vector>

#include "rtl/Format.h"

std::string_view OxaDriveTypeName(TDriveKind kind) noexcept
{
  switch (kind) {
    case TDriveKind::dkFixed:
      return "Fixed drive";
    case TDriveKind::dkCDRom:
      return "Compact disc";
    case TDriveKind::dkNetwork:
      return "Network drive";
    case TDriveKind::dkRemovable:
      return "Removable drive";
    case TDriveKind::dkRamDisk:
      return "RAM drive";
    case TDriveKind::dkUnknown:
      break;
  }
  return "Unknown drive";
}

TOxaScanDrive OxaScanDriveOf(const TDriveInfo& info)
{
  TOxaScanDrive drive;
  drive.Root = info.Root;
  drive.Kind = info.Kind;
  drive.Size = info.Size;
  // The snapshot puts the kind's own name where a label would be for drives it never asks.
  if (info.Name != NetworkDriveName && info.Name != CompactDiscName) {
    drive.Label = info.Name;
  }
  drive.Ready = IsDriveReady(info.Root);
  return drive;
}

std::string OxaDriveCaption(const TOxaScanDrive& drive, TOxaDriveCaptionStyle style)
{
  const std::string_view type = OxaDriveTypeName(drive.Kind);
  const std::string device = drive.Root.substr(0, 2);
  if (style == TOxaDriveCaptionStyle::Short) {
    return Format("%s (%s)", drive.Label.empty() ? type : std::string_view(drive.Label), device);
  }
  if (!drive.Ready) {
    return Format("%s on %s is not ready", type, device);
  }
  if (drive.Size > 0) {
    return Format("%s on %s (%d MB)", type, device, drive.Size / 1048576);
  }
  return Format("%s on %s", type, device);
}

namespace {

// Byte offsets where the candidates start: 0 (the whole path), then after each folder's
// backslash, then every 8 characters further into the file name.
std::vector<std::size_t> CutPoints(std::string_view path)
{
  std::vector<std::size_t> cuts{0};
  std::size_t name = 0;
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    if (path[i] == '\\') {
      cuts.push_back(i + 1);
      name = i + 1;
    }
  }
  // Eight characters at a time, never splitting a UTF-8 sequence.
  std::size_t at = name;
  while (at < path.size()) {
    int characters = 0;
    while (at < path.size() && characters < 8) {
      ++at;
      while (at < path.size() && (static_cast<unsigned char>(path[at]) & 0xC0) == 0x80) {
        ++at;
      }
      ++characters;
    }
    cuts.push_back(at);
  }
  return cuts;
}

}  // namespace

std::string OxaShortenPath(std::string_view path, int lineWidth, const TOxaTextWidth& widthOf)
{
  if (lineWidth <= 0 || path.empty() || widthOf(path) < lineWidth) {
    return std::string(path);
  }
  const std::vector<std::size_t> cuts = CutPoints(path);
  auto candidate = [&](std::size_t index) { return "...\\" + std::string(path.substr(cuts[index])); };
  // Shorter tails are never wider, so the first fitting cut is found by halving; the last cut
  // (nothing left of the path) is taken when nothing fits.
  std::size_t low = 1;
  std::size_t high = cuts.size() - 1;
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (widthOf(candidate(middle)) < lineWidth) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return candidate(low);
}

std::string OxaStatusCaption(std::string_view text, std::string_view shownPath)
{
  std::string caption(text);
  caption += '\r';
  caption += shownPath;
  return caption;
}
