// The bars and spaces of one scan line as the DataBar readers measure them:
// the edges between them to a fraction of a sample. DataBar characters are
// read from the distances between edges of the same kind (the leading edges
// of two bars, or of two spaces), which ink spread and blur leave as they
// are.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zeph::databar {

class EdgeList {
  public:
    // Element i lies between edges i and i + 1; even elements are spaces, odd
    // ones bars. Element 0 runs from the signal's start (or the end of a dark
    // run it begins with) to the first bar, the last element from the end of
    // the last bar with an end to the signal's end. False when memory runs out.
    bool Build(std::span<const float> samples, std::span<const int32_t> barStarts,
               std::span<const int32_t> barEnds);
    // The list read from the other end: positions from the signal's end.
    bool Reverse(const EdgeList& forward);

    int32_t Count() const { return static_cast<int32_t>(edges_.size()) - 1; }
    double Edge(int32_t i) const { return edges_[static_cast<size_t>(i)]; }
    double Width(int32_t i) const { return Edge(i + 1) - Edge(i); }
    // The span the edge positions run over: the signal's sample count.
    double Length() const { return length_; }
    bool Reversed() const { return reversed_; }

    static bool IsBar(int32_t element) { return element % 2 != 0; }

  private:
    std::vector<double> edges_;
    double length_ = 0;
    bool reversed_ = false;
};

// Widths of most characters and patterns read here.
inline constexpr int kMostCharacterElements = 14;

// One character's element widths, in whole modules, in the order the
// elements lie on the line.
struct Measured {
    int32_t widths[kMostCharacterElements] = {};
    int elements = 0;
    double residual = 0;  // mean distance of its edge-to-edge sums from whole modules
    double worst = 0;     // the largest such distance
    double module = 0;    // in samples

    std::span<const int32_t> Widths() const { return {widths, static_cast<size_t>(elements)}; }
    // The widths read from the character's last element to its first.
    void Reverse();
};

// How a character lies on the line.
struct CharacterShape {
    int elements = 0;
    int modules = 0;
    int widest = 0;  // widest element, in modules
};

// The widths of the `shape.elements` elements from `first`, solved from the
// edge-to-edge sums of neighbouring elements with the character's own module
// size; `inkSpread` (in modules, bars wider by it) decides between the
// solutions those sums leave. False when they fit no character shape.
bool MeasureCharacter(const EdgeList& list, int32_t first, const CharacterShape& shape,
                      double inkSpread, Measured& out);

}  // namespace zeph::databar
