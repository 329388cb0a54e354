// EAN-13 under heavy blur: 1 and 7, 2 and 8 differ by one bar edge's place,
// and a best shifted template may take one for the other on several digits at
// once until the check digit holds by chance. Such readings are refused, in
// the thorough search and in the extended one; symbols full of those digits
// still read where blur leaves them legible.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/reader.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::test;

ImageOptions Blurred(const char* data, double module, double blurModules) {
    ImageOptions o;
    o.data = data;
    o.option2 = 9;  // the add-on's gap
    o.moduleSize = module;
    o.blurSigma = blurModules * module;
    return o;
}

// Every record's text begins with the symbol's own digits.
void ExpectOnlyTheSymbol(const PictureReads& reads, std::string_view digits) {
    for (const MatchRecord& r : reads.records)
        EXPECT_TRUE(XR_TextOf(r.rawData).starts_with(digits)) << XR_TextOf(r.rawData);
}

TEST(BlurredEan, TwinDigitsAreNotTakenForEachOther) {
    // These read "9720201152247" (three twins swapped, check holding) before.
    const struct {
        double module;
        double blur;
    } cases[] = {{2.0, 0.7}, {2.15, 0.6}, {2.35, 0.6}, {2.45, 0.6}, {2.9, 0.6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.module) + " px, blur " + std::to_string(c.blur));
        const Image image = RenderBarcode(Blurred("978020175284+55999", c.module, c.blur));
        ExpectOnlyTheSymbol(SearchPicture(image, true), "9780201752847");
        ExpectOnlyTheSymbol(SearchExtendedPicture(image, kDefaultProtocolMask), "9780201752847");
    }
    // Extended reads of a symbol of twins alone ("7111111111110" before).
    for (const double module : {2.2, 2.4, 2.7}) {
        SCOPED_TRACE(std::to_string(module) + " px");
        const Image image = RenderBarcode(Blurred("717171717171", module, 0.65));
        ExpectOnlyTheSymbol(SearchExtendedPicture(image, kDefaultProtocolMask), "7171717171710");
    }
}

TEST(BlurredEan, SymbolsOfTwinDigitsStillRead) {
    for (const char* data : {"717171717171", "871828282828", "978020175284"}) {
        for (const double module : {1.5, 2.0, 3.0}) {
            SCOPED_TRACE(std::string(data) + ", " + std::to_string(module) + " px");
            const PictureReads reads =
                SearchPicture(RenderBarcode(Blurred(data, module, 0.3)), true);
            ASSERT_EQ(reads.count, 1);
            EXPECT_TRUE(XR_TextOf(reads.records[0].rawData).starts_with(data));
        }
    }
}

}  // namespace
