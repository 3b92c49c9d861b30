// Pictures of the screen: what a Terminal shows, as an SVG image (monospace
// text on a cell grid, the xterm palette, reverse video swapped, line-drawing
// characters drawn as lines so boxes join whatever font the viewer has).
#pragma once

#include <string>
#include <string_view>

#include "tests/screen/harness.h"

namespace screen {

// The whole screen; title becomes the SVG's <title>.
std::string to_svg(const Terminal &t, std::string_view title);

}  // namespace screen
