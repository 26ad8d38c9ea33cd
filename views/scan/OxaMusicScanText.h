#pragma once
// The scan panel's texts: what a drive item says about its drive, and the status line's path,
// shortened from the left until it fits the line.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "scan/OxaSearchUtils.h"

// "Fixed drive", "Compact disc", "Network drive", "Removable drive", "Unknown drive",
// "RAM drive".
std::string_view OxaDriveTypeName(TDriveKind kind) noexcept;

// The drive a check box stands for.
struct TOxaScanDrive {
  std::string Root;  // "C:\"
  TDriveKind Kind = TDriveKind::dkUnknown;
  std::int64_t Size = 0;  // bytes; 0 where the drive is not measured
  std::string Label;      // volume label, may be empty
  bool Ready = false;

  // Checked by default when nothing is stored: the fixed disks.
  bool Default() const noexcept { return Kind == TDriveKind::dkFixed; }
};

// The record as the drive snapshot gives it; readiness is asked of the drive itself, since
// removable, optical and network drives are never measured and so carry no size.
TOxaScanDrive OxaScanDriveOf(const TDriveInfo& info);

enum class TOxaDriveCaptionStyle : std::uint8_t { Short = 0, Detailed = 1 };
// Detailed: "%s on %s (%d MB)" for a measured drive, "%s on %s is not ready" for one that is
// not ready, else "%s on %s"; short: "%s (%s)" with the label, or the type name without one.
std::string OxaDriveCaption(const TOxaScanDrive& drive, TOxaDriveCaptionStyle style);

// The width a text takes on the status line.
using TOxaTextWidth = std::function<int(std::string_view text)>;
// The path as the status line shows it: while it is at least lineWidth wide, its first folder
// is cut and "...\" put in front; once only the file name is left, 8 characters are dropped from
// its front instead. Ends at a text that fits, or at nothing left to cut; a line width of 0 or
// less gives the path unchanged. Measures O(log n) candidates, not every cut.
std::string OxaShortenPath(std::string_view path, int lineWidth, const TOxaTextWidth& widthOf);

// What the status line shows: text, a CR, then the (shortened) path.
std::string OxaStatusCaption(std::string_view text, std::string_view shownPath);
