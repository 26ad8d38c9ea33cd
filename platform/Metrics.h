#pragma once
// System metrics: the size of the primary screen. Without a display the program sees an
// 800 x 600 screen.

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

// The metric asked for; 0 for one this layer does not know.
int GetSystemMetrics(int nIndex) noexcept;
