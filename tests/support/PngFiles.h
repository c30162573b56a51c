#pragma once

#include "rom/RomFile.h"

#include <cstdint>
#include <vector>

namespace quillbox::test {

// An indexed PNG of `width` by `height` pixels whose palette has `entries` colours (entry k is a
// grey of k * 8), pixel (x, y) using entry (x + y) mod `entries`; optionally interlaced. Made
// with the PNG library directly, so that what the project's own codec refuses can be written.
Bytes IndexedPng(int width, int height, int entries, bool interlaced = false);

}  // namespace quillbox::test
