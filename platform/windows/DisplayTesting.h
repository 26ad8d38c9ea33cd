#pragma once
// What tests need of the display: a memory screen of a chosen size instead of the X server,
// reading the screen back, saving pictures as PNG, counting presents.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows/Gdi.h"

// Uses the memory screen of that size from now on, whatever DISPLAY says. Call before the first
// window is shown.
void UseHeadlessDisplay(LONG width = 800, LONG height = 600);
// "headless" or "x11".
const char* DisplayBackEndName();
// The screen's pixel, CLR_INVALID outside it.
COLORREF ScreenPixel(LONG x, LONG y);
std::uint64_t DisplayPresentCount();
// The whole screen as rows of 0x00RRGGBB; false when it cannot be read.
bool ReadScreen(std::vector<std::uint32_t>& pixels, SIZE& size);
// PNG files of the whole screen and of a bitmap (a memory device context's selected one).
bool SaveScreenPng(const std::string& path);
bool SaveBitmapPng(HBITMAP bitmap, const std::string& path);
