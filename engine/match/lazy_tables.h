// A decoder's pattern tables: parsed from their strings on the decoder's first
// call, kept until released, and parsed again on the next call after that.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "engine/reader.h"

namespace zeph {

template <size_t N>
class LazyTables {
  public:
    constexpr explicit LazyTables(std::array<std::string_view, N> sources) : sources_(sources) {}

    // True when every table is available; a failed build is retried next time.
    bool Build() {
        if (built_) return true;
        for (size_t i = 0; i < N; ++i) {
            tables_[i] = XR_ParsePatterns(sources_[i]);
            if (!tables_[i]) {
                Release();
                return false;
            }
        }
        built_ = true;
        return true;
    }

    void Release() {
        for (PatternTablePtr& table : tables_)
            XR_FreePatterns(std::move(table));
        built_ = false;
    }

    bool Built() const { return built_; }
    const PatternTable& operator[](size_t i) const { return *tables_[i]; }

  private:
    std::array<std::string_view, N> sources_;
    std::array<PatternTablePtr, N> tables_{};
    bool built_ = false;
};

}  // namespace zeph
