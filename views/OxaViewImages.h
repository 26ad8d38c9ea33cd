#pragma once
// Showing one image of a store as a node of its own size.

#include <string_view>

#include "graphics/OxaBitmap.h"

// The node's surface becomes a copy of image and the node takes its size (keeping its place);
// without an image the node is emptied to 0 × 0. Returns whether there was an image.
bool OxaShowImage(TOxaBitmap& node, TOxaBitmap* image);
// The same with the image found by name in the node's store.
bool OxaShowStoreImage(TOxaBitmap& node, std::string_view name);
