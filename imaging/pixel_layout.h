// The pixel layouts decoders hand their rows over in, before the rows become
// blue-green-red bitmap rows or grey values.
#pragma once

namespace zeph::imaging::detail {

// Eight bits a sample; alpha is flattened onto black on the way out.
enum class Layout { Grey, GreyAlpha, Rgb, Rgba, Bgr, Bgra };

}  // namespace zeph::imaging::detail
