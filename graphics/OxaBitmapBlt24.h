#pragma once
// The 24-bit operation table, in three implementations that give the same bytes: a reference
// written straight from the formulas (the oracle of the others), a portable one (lookup tables
// built once per call, whole-row block copies) and a vectorised one for processors with AVX2,
// which falls back to the portable operations where vectors gain nothing.

#include "graphics/OxaBitmapBlt.h"

enum class TOxaBltPath { Reference, Portable, Vector };

// The table of one implementation, or null when this processor cannot run it.
const TOxaBltTable* OxaBlt24Table(TOxaBltPath path) noexcept;
// The fastest table this processor runs, chosen on first use.
const TOxaBltTable& OxaBlt24Table() noexcept;
