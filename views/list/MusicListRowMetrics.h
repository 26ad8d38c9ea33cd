#pragma once

// The row geometry.
constexpr int kMusicIconSize = 47;
constexpr int kMusicFlapWidth = 32;
constexpr int kMusicRowMargin = 4;  // left of the icon and between rows
constexpr int kMusicRowHeight = kMusicIconSize + kMusicRowMargin;
constexpr int kMusicCaptionLeft = kMusicRowMargin + kMusicIconSize + kMusicFlapWidth;
// The caption's text starts this far into its band and keeps as far from the outer flap.
constexpr int kMusicCaptionPadding = 8;
