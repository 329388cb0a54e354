#include "engine/locate/orientation_memo.h"

#include <algorithm>

namespace zeph::locate {

void OrientationMemo::Add(int32_t x, int32_t y, double coherence, double theta) noexcept {
    try {
        entries_.push_back({y, x, coherence, theta});
        sorted_ = false;
    } catch (...) {
    }
}

bool OrientationMemo::Find(int32_t x, int32_t y, double& coherence, double& theta) {
    const auto before = [](const Entry& a, const Entry& b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    };
    if (!sorted_) {
        std::sort(entries_.begin(), entries_.end(), before);
        sorted_ = true;
    }
    const Entry key{y, x, 0, 0};
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), key, before);
    if (it == entries_.end() || it->x != x || it->y != y) return false;
    coherence = it->coherence;
    theta = it->theta;
    return true;
}

}  // namespace zeph::locate
