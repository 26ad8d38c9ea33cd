#pragma once
// Screenshot checks against reviewed reference pictures in tests/data/screens/NAME.png.
//
// With OXA_REWRITE_SCREENS=1 in the environment the references are written instead of compared
// (review them before committing). On a mismatch the picture taken (NAME.actual.png) and a diff
// (NAME.diff.png: the picture dimmed, differing pixels in full red) are written to
// OXA_BINARY_DIR/screens (or the current folder) and the failure names them.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TXvfbServer;

struct TScreenPicture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;  // 0x00RRGGBB, rows top down
};

bool ReadPngPicture(const std::string& path, TScreenPicture& picture);
bool WritePngPicture(const std::string& path, const TScreenPicture& picture);

testing::AssertionResult MatchesScreen(const std::string& name, const TScreenPicture& picture);

// The display screenshots are taken from: the memory screen, or with OXA_SCREENS_X11=1 a private
// 800x600 X server, which the caller keeps for as long as the display is used.
std::unique_ptr<TXvfbServer> UseScreenshotDisplay();
