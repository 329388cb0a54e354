// Blurred module patterns: the same floats as the plain definition (two edge
// functions per point and module), for the patterns and blurs the profile
// decoders render; and templates shared by readers on several threads.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/profile/blurred_pattern.h"
#include "engine/profile/ean_grid_fit.h"
#include "tests/support/ean_encoder.h"
#include "tests/support/signal_renderer.h"

namespace {

using zeph::profile::RenderBlurred;

// The definition, written out as plainly as it reads.
std::vector<float> PlainRender(std::string_view modules, double blur, int pointsPerModule) {
    const int points = (static_cast<int>(modules.size()) - 3) * pointsPerModule;
    const double scale = 1.0 / (std::sqrt(2.0) * blur);
    std::vector<float> out(static_cast<size_t>(points));
    double mean = 0;
    for (int j = 0; j < points; ++j) {
        const double u = 1.5 + (j + 0.5) / pointsPerModule;
        double v = 0;
        for (size_t m = 0; m < modules.size(); ++m) {
            const double level = modules[m] == '1' ? -1.0 : modules[m] == '0' ? 1.0 : 0.0;
            if (level == 0) continue;
            const double from = double(m);
            v += level * 0.5 * (std::erf((u - from) * scale) - std::erf((u - from - 1) * scale));
        }
        out[static_cast<size_t>(j)] = static_cast<float>(v);
        mean += v;
    }
    mean /= points;
    double norm = 0;
    for (float& o : out) {
        o -= static_cast<float>(mean);
        norm += double(o) * o;
    }
    norm = norm > 0 ? 1.0 / std::sqrt(norm) : 0.0;
    for (float& o : out)
        o = static_cast<float>(o * norm);
    return out;
}

TEST(BlurredPattern, RendersTheDefinitionBitForBit) {
    const std::vector<std::string> patterns = {
        "?10001011?", "?1001001110?", "?0111001011?", "001010?", "?1010101?",
        "?010100",    "0001011?",     "????",         "1111111",
    };
    for (const int perModule : {1, 2, 4, 8}) {
        for (const double blur : {0.35, 0.6, 0.85, 0.2, 1.7}) {
            for (const std::string& p : patterns) {
                const std::vector<float> want = PlainRender(p, blur, perModule);
                std::vector<float> got(want.size() + 4, -7.0f);
                int points = 0;
                RenderBlurred(p, blur, perModule, got, points);
                ASSERT_EQ(points, static_cast<int>(want.size()));
                for (size_t j = 0; j < want.size(); ++j) {
                    ASSERT_EQ(std::bit_cast<uint32_t>(got[j]), std::bit_cast<uint32_t>(want[j]))
                        << p << " blur " << blur << " at " << perModule << " a module, point " << j;
                }
                // Nothing beyond the pattern's points is written.
                for (size_t j = want.size(); j < got.size(); ++j)
                    EXPECT_EQ(got[j], -7.0f);
            }
        }
    }
}

TEST(BlurredPattern, PatternsOfNoPointsWriteNothing) {
    for (const std::string_view p : {"", "1", "0?", "?1?"}) {
        std::vector<float> out(4, -7.0f);
        int points = 99;
        RenderBlurred(p, 0.6, 4, out, points);
        EXPECT_LE(points, 0) << p;
        for (const float v : out)
            EXPECT_EQ(v, -7.0f) << p;
    }
}

TEST(BlurredPattern, OtherPointCountsStayCloseToTheDefinition) {
    for (const int perModule : {3, 5}) {
        const std::vector<float> want = PlainRender("?1001001110?", 0.6, perModule);
        std::vector<float> got(want.size());
        int points = 0;
        RenderBlurred("?1001001110?", 0.6, perModule, got, points);
        ASSERT_EQ(points, static_cast<int>(want.size()));
        for (size_t j = 0; j < want.size(); ++j)
            EXPECT_NEAR(got[j], want[j], 1e-6) << perModule << " a module, point " << j;
    }
}

// Readers made on several threads at once share the templates, rendered once,
// and each reads what a reader alone reads.
TEST(BlurredPattern, ReadersOnSeveralThreadsReadAsOneAlone) {
    zeph::test::RenderOptions options;
    options.samplesPerModule = 3.0;
    options.blurSigma = 0.5 * options.samplesPerModule;
    options.noise = 0.03;
    const ScanSignalPtr rendered =
        zeph::test::RenderModules(zeph::test::Ean13Modules("5901234123457"), options);
    const ScanSignal& signal = *rendered;
    const auto decode = [&](std::string& text) {
        zeph::profile::EanGridFit decoder;
        MatchRecord record;
        record.confidence = 0.81f;
        if (decoder.Decode(signal, kEan13, record) == 1)
            text = std::string(XR_TextOf(record.rawData));
    };
    std::string alone;
    decode(alone);
    ASSERT_EQ(alone, "5901234123457");
    std::array<std::string, 4> texts;
    std::vector<std::thread> threads;
    for (std::string& t : texts)
        threads.emplace_back([&decode, &t] { decode(t); });
    for (std::thread& t : threads)
        t.join();
    for (const std::string& t : texts)
        EXPECT_EQ(t, alone);
}

}  // namespace
