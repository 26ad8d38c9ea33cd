#pragma once
// What this library adds to the platform below it: the X server back end that DISPLAY selects,
// and the user32 functions that draw text (MessageBoxA). A program that shows its windows on the
// screen calls InstallDisplay once as it starts, before its first window; one that does not
// (oxa-lib, the headless tests) shows them on the memory screen and links no X library.

// Makes DISPLAY select the X server (OXA_DISPLAY=headless still keeps the memory screen) and adds
// MessageBoxA to the built-in "user32.dll".
void InstallDisplay();

// For tests: uses the X server DISPLAY names from now on (connecting when first needed).
void UseX11Display();
