// EAN/UPC add-ons read from the grey profile between their outer edges: blur
// that merges their bars, and nothing from a parity word that disagrees with
// the digits or from bars that make no add-on.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "engine/profile/add_on_grid_fit.h"
#include "engine/reader.h"
#include "engine/symbologies/ean_upc_patterns.h"
#include "tests/support/ean_encoder.h"
#include "tests/support/signal_renderer.h"

namespace {

using zeph::profile::AddOnGridFit;
using zeph::test::Ean13Modules;
using zeph::test::RenderModules;
using zeph::test::RenderOptions;
using zeph::test::SupplementModules;

// Where the signal crosses zero between sample i - 1 and sample i.
double Crossing(const ScanSignal& s, int32_t i) {
    const double a = s.samples[i - 1];
    const double b = s.samples[i];
    return (i - 1) + a / (a - b);
}

// The digits read between the signal's first and last bar, or "" for none.
std::string Read(std::string_view modules, int digits, double samplesPerModule, double blur,
                 double noise = 0.03, uint32_t seed = 1) {
    RenderOptions o;
    o.samplesPerModule = samplesPerModule;
    o.blurSigma = blur * samplesPerModule;
    o.noise = noise;
    o.seed = seed;
    const ScanSignalPtr signal = RenderModules(modules, o);
    if (signal->barCount < 1) return "";
    const double from = Crossing(*signal, signal->barStarts[0]);
    const double to = Crossing(*signal, signal->barEnds[signal->barCount - 1]);
    AddOnGridFit fit;
    AddOnGridFit::Reading reading;
    if (!fit.Read(signal->Samples(), from, to, digits, reading)) return "";
    std::string text;
    for (int i = 0; i < reading.digits; ++i)
        text += static_cast<char>('0' + reading.values[static_cast<size_t>(i)].index);
    return text;
}

// Blur of 0.7 to 0.9 modules merges most of an add-on's bars; its profile
// still holds the digits, of either parity.
TEST(AddOnGridFit, ReadsBlurredAddOns) {
    for (const std::string_view digits : {"55999", "51234", "90000", "12", "05", "99"}) {
        const int count = static_cast<int>(digits.size());
        for (const double samples : {2.5, 4.0}) {
            for (const double blur : {0.7, 0.9}) {
                const RenderOptions merged{samples, 10, 0.0, blur * samples};
                EXPECT_LT(RenderModules(SupplementModules(digits), merged)->barCount, 3 * count + 1)
                    << digits << " " << samples << " " << blur;
                EXPECT_EQ(Read(SupplementModules(digits), count, samples, blur), digits)
                    << digits << " " << samples << " " << blur;
            }
        }
    }
}

// Patterns that fit but disagree with the parity word, a digit pattern that
// is none, and a count of digits the stretch does not hold: no read.
TEST(AddOnGridFit, RefusesAddOnsThatDoNotHold) {
    // 51234 carries check 9 in its parity word ("ooeoe"); drawn with that of 5.
    EXPECT_EQ(Read(SupplementModules("51234", "ooeeo"), 5, 3.0, 0.6), "");
    // 12 is 0 modulo 4 ("oo"); drawn with "oe".
    EXPECT_EQ(Read(SupplementModules("12", "oe"), 2, 3.0, 0.6), "");
    // The second digit's pattern changed to one no digit has.
    std::string changed = SupplementModules("51234");
    changed.replace(4 + 9, 7, "0101011");
    EXPECT_EQ(Read(changed, 5, 3.0, 0.6), "");
    EXPECT_EQ(Read(SupplementModules("51234"), 2, 3.0, 0.6), "");
    EXPECT_EQ(Read(SupplementModules("12"), 5, 3.0, 0.6), "");
}

// Whether seven modules are a digit's pattern of either parity.
bool IsDigit(std::string_view modules) {
    for (const std::string_view table : {zeph::ean::kLeftOdd, zeph::ean::kLeftEven}) {
        for (size_t d = 0; d < 10; ++d) {
            if (table.substr(8 * d, 7) == modules) return true;
        }
    }
    return false;
}

// The first 47 modules of an EAN-13 symbol, and five-digit add-ons whose
// digit slots hold random modules that are not all digits (a guard,
// separators and a last bar as an add-on has them), blurred: no add-on comes
// out of them.
TEST(AddOnGridFit, ReadsNothingFromOtherBars) {
    EXPECT_EQ(Read(Ean13Modules("5901234123457").substr(0, 47), 5, 3.0, 0.6), "");
    std::mt19937 random(11);
    std::bernoulli_distribution dark(0.5);
    int tried = 0;
    int reads = 0;
    for (int trial = 0; trial < 200; ++trial) {
        std::string modules = "1011";
        bool allDigits = true;
        for (int i = 0; i < 5; ++i) {
            std::string digit = "0";
            for (int m = 0; m < 5; ++m)
                digit += dark(random) ? '1' : '0';
            digit += '1';
            allDigits = allDigits && IsDigit(digit);
            modules += (i > 0 ? "01" : "") + digit;
        }
        if (allDigits) continue;
        ++tried;
        reads += !Read(modules, 5, 3.0, 0.6, 0.03, static_cast<uint32_t>(trial)).empty();
    }
    EXPECT_GT(tried, 150);
    EXPECT_EQ(reads, 0);
}

// Every two-digit value and a spread of five-digit ones, blurred to 0.9
// modules with noise: most read, and none as other digits.
TEST(AddOnGridFit, ReadsNoOtherDigitsUnderBlurAndNoise) {
    int right = 0;
    int wrong = 0;
    for (int v = 0; v < 100; ++v) {
        const std::string two = {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
        const std::string five = std::to_string(100000 + v * 337 % 100000).substr(1);
        for (const double samples : {2.5, 4.0}) {
            for (const std::string& digits : {two, five}) {
                const std::string r =
                    Read(SupplementModules(digits), static_cast<int>(digits.size()), samples, 0.9,
                         0.05, static_cast<uint32_t>(v));
                right += r == digits;
                wrong += !r.empty() && r != digits;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(right, 300);
}

}  // namespace
