#include "engine/descriptors/supplement_descriptor.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"
#include "tests/descriptors/record_helpers.h"

namespace {

using namespace zeph::test;

// The add-on digits followed by a check value, as the decoder hands them over.
std::vector<BestMatch> AddOnReading(std::string_view digits, int check = 3) {
    std::vector<BestMatch> reading = Reading(digits);
    reading.push_back({check, 0.9f});
    return reading;
}

MatchRecord Describe(std::string_view digits) {
    MatchRecord record = StaleRecord();
    const std::vector<BestMatch> reading = AddOnReading(digits);
    XR_DescribeSupplement(reading, static_cast<int>(reading.size()), record);
    return record;
}

const std::string kPound = "\xA3";
const std::string kNacs = "National Association of College Stores (NACS) code";

struct AddOnCase {
    const char* digits;
    std::string descriptor;
    std::string data;
};

void ExpectInterpretations(const std::vector<AddOnCase>& cases) {
    for (const AddOnCase& c : cases) {
        SCOPED_TRACE(c.digits);
        const MatchRecord record = Describe(c.digits);
        EXPECT_EQ(Text(record.descriptor), c.descriptor);
        EXPECT_EQ(Text(record.data), c.data);
        EXPECT_EQ(Text(record.barcodeType), "5-digit Supplement");
        EXPECT_EQ(Text(record.rawData), c.digits);
    }
}

// ---------------------------------------------------------------------------

TEST(SupplementDescriptor, TwoDigitAddOnIsAnIssueNumber) {
    const MatchRecord record = Describe("07");
    EXPECT_EQ(Text(record.rawData), "07");  // the check value is not a digit of it
    EXPECT_EQ(Text(record.data), "Issue #07");
    EXPECT_EQ(Text(record.symbology), "UPC Supplemental");
    EXPECT_EQ(Text(record.barcodeType), "2-digit Supplement");
    EXPECT_EQ(Text(record.descriptor), "Issue Number");
    EXPECT_EQ(record.confidence, 0.93f);
    EXPECT_EQ(record.startX, 11);
    EXPECT_EQ(record.stopY, 14);
}

TEST(SupplementDescriptor, FiveDigitAddOnWritesAllFiveTexts) {
    const MatchRecord record = Describe("51234");
    EXPECT_EQ(Text(record.rawData), "51234");
    EXPECT_EQ(Text(record.data), "$12.34 U.S.");
    EXPECT_EQ(Text(record.symbology), "UPC Supplemental");
    EXPECT_EQ(Text(record.barcodeType), "5-digit Supplement");
    EXPECT_EQ(Text(record.descriptor), "Retail Price");
}

TEST(SupplementDescriptor, PricesInEveryCurrency) {
    ExpectInterpretations({
        {"00500", "Retail Price", kPound + "5.00 (British Pounds)"},
        {"10000", "Retail Price", kPound + "0.00 (British Pounds)"},
        {"31234", "Retail Price", "$12.34 (Autralian)"},
        {"40001", "Retail Price", "$0.01 (New Zealand)"},
        {"51234", "Retail Price", "$12.34 U.S."},
        {"60750", "Retail Price", "$7.50 CAN."},
    });
}

TEST(SupplementDescriptor, PoundSignIsOneWindows1252Byte) {
    const std::string data = Text(Describe("00500").data);
    ASSERT_EQ(data.size(), std::string_view("#5.00 (British Pounds)").size());
    EXPECT_EQ(static_cast<unsigned char>(data[0]), 0xA3);
}

TEST(SupplementDescriptor, OnlyTheTopValueIsPrintedAsOver) {
    ExpectInterpretations({
        {"09999", "Retail Price", "Over " + kPound + "99.99 (British Pounds)"},
        {"19999", "Retail Price", "Over " + kPound + "99.99 (British Pounds)"},
        {"39999", "Retail Price", "Over $99.99 (Autralian)"},
        {"49999", "Retail Price", "Over $99.99 (New Zealand)"},
        {"59999", "Retail Price", "Over $99.99 (US)"},
        {"69999", "Retail Price", "Over $99.99 (Canadian)"},
        {"19998", "Retail Price", kPound + "99.98 (British Pounds)"},
        {"59998", "Retail Price", "$99.98 U.S."},
        {"69998", "Retail Price", "$99.98 CAN."},
    });
}

TEST(SupplementDescriptor, EveryPriceHasExactlyTwoDecimals) {
    // Hundredths are not exact in binary; no value may round to a neighbour.
    for (int value = 0; value <= 9998; ++value) {
        std::array<char, 8> digits{};
        std::snprintf(digits.data(), digits.size(), "5%04d", value);
        std::array<char, 16> price{};
        std::snprintf(price.data(), price.size(), "$%d.%02d U.S.", value / 100, value % 100);
        const MatchRecord record = Describe(digits.data());
        ASSERT_EQ(Text(record.data), price.data()) << digits.data();
    }
}

TEST(SupplementDescriptor, KindNineCodesByValueRange) {
    ExpectInterpretations({
        {"90000", "Retail Price", "No suggested retail price"},
        {"90001", "Internal Use", "0001"},
        {"98999", "Internal Use", "8999"},
        {"99000", "Reserved", "9000"},
        {"99989", "Reserved", "9989"},
        {"99990", kNacs, "Used book"},
        {"99991", kNacs, "Complimentary or desk copy"},
        {"99992", kNacs, "9992"},
        {"99995", kNacs, "9995"},
        {"99999", kNacs, "9999"},
    });
}

TEST(SupplementDescriptor, KindsTwoSevenAndEightAreUnknown) {
    ExpectInterpretations({
        {"20000", "Unknown", "20000"},
        {"29999", "Unknown", "29999"},
        {"71234", "Unknown", "71234"},
        {"80500", "Unknown", "80500"},
    });
}

// ---------------------------------------------------------------------------
// Readings that no decoder should hand over

TEST(SupplementRobustness, DigitOutsideZeroToNineIsShownAsUnknown) {
    for (const int bad : {-1, 10, 12, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(bad);
        for (const size_t position : {0u, 3u}) {
            std::vector<BestMatch> reading = AddOnReading("51234");
            reading[position].index = bad;
            MatchRecord record = StaleRecord();
            XR_DescribeSupplement(reading, 6, record);
            ExpectAllTerminated(record);
            std::string raw = "51234";
            raw[position] = '?';
            EXPECT_EQ(Text(record.rawData), raw);
            EXPECT_EQ(Text(record.descriptor), "Unknown");
            EXPECT_EQ(Text(record.data), raw);
        }
        std::vector<BestMatch> reading = AddOnReading("07");
        reading[0].index = bad;
        MatchRecord record = StaleRecord();
        XR_DescribeSupplement(reading, 3, record);
        ExpectAllTerminated(record);
        EXPECT_EQ(Text(record.data), "Issue #?7");
    }
}

TEST(SupplementRobustness, CountBeyondTheReadingStaysInsideIt) {
    MatchRecord record = StaleRecord();
    XR_DescribeSupplement({}, 6, record);
    ExpectAllTerminated(record);
    EXPECT_EQ(Text(record.rawData), "?????");
    EXPECT_EQ(Text(record.descriptor), "Unknown");

    record = StaleRecord();
    XR_DescribeSupplement({}, 3, record);
    ExpectAllTerminated(record);
    EXPECT_EQ(Text(record.data), "Issue #??");
}

TEST(SupplementRobustness, CountOtherThanSixIsTreatedAsTwoDigits) {
    const std::vector<BestMatch> reading = AddOnReading("51234");
    for (const int count : {INT_MIN, -1, 0, 1, 4, 5, 7, 100, INT_MAX}) {
        SCOPED_TRACE(count);
        MatchRecord record = StaleRecord();
        XR_DescribeSupplement(reading, count, record);
        ExpectAllTerminated(record);
        EXPECT_EQ(Text(record.barcodeType), "2-digit Supplement");
        EXPECT_EQ(Text(record.data), "Issue #51");
    }
}

}  // namespace
