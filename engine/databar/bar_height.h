// How tall a DataBar symbol's bars stand in the picture: what tells the
// Truncated symbol (13 modules) from the Omnidirectional one (33), and the
// rows of Stacked (5 and 7) from those of Stacked Omnidirectional (33).
#pragma once

#include "engine/databar/geometry.h"
#include "engine/extended/picture.h"

namespace zeph::databar {

// The length in pixels of the bar centred at `centre`, `width` pixels wide
// along the unit direction `along` of the line that crossed it, with spaces
// of at least `module` pixels beside it: followed both ways across the
// line, its middle tracked, until it ends or `longest` pixels each way.
double BarHeight(const extended::Picture& picture, PixelPoint centre, PixelPoint along,
                 double width, double module, double longest);

}  // namespace zeph::databar
