#include "engine/descriptors/ean_upc_descriptor.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/reader.h"
#include "tests/descriptors/record_helpers.h"

namespace {

using namespace zeph::test;

std::vector<int> Digits(std::string_view digits) {
    std::vector<int> out;
    for (const char c : digits)
        out.push_back(c - '0');
    return out;
}

MatchRecord DescribeEan13(std::string_view digits) {
    MatchRecord record = StaleRecord();
    XR_DescribeEan13(Reading(digits), record);
    return record;
}

MatchRecord DescribeEan8(std::string_view digits) {
    MatchRecord record = StaleRecord();
    XR_DescribeEan8(Reading(digits), record);
    return record;
}

std::string ThreeDigits(int prefix) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%03d", prefix);
    return text.data();
}

// Prefixes from 100 upwards that no table row covers.
std::set<int> UnlistedPrefixes() {
    constexpr std::pair<int, int> kRanges[] = {
        {140, 199}, {380, 399}, {470, 470}, {472, 473}, {476, 476}, {478, 478}, {481, 481},
        {483, 483}, {488, 488}, {510, 519}, {521, 527}, {530, 530}, {532, 534}, {536, 538},
        {550, 559}, {561, 568}, {580, 589}, {591, 593}, {595, 598}, {602, 608}, {610, 610},
        {612, 612}, {614, 618}, {620, 621}, {623, 624}, {627, 639}, {650, 689}, {693, 699},
        {710, 728}, {745, 745}, {747, 749}, {751, 758}, {771, 772}, {774, 774}, {776, 776},
        {778, 778}, {781, 783}, {787, 788}, {790, 799}, {851, 857}, {861, 868}, {881, 884},
        {886, 887}, {889, 889}, {891, 892}, {894, 898}, {920, 929}, {950, 954}, {956, 976},
        {983, 989},
    };
    std::set<int> prefixes;
    for (const auto& [first, last] : kRanges) {
        for (int p = first; p <= last; ++p)
            prefixes.insert(p);
    }
    return prefixes;
}

// ---------------------------------------------------------------------------
// EAN-13

TEST(Ean13Descriptor, CountryPrefixWritesAllFiveTexts) {
    const MatchRecord record = DescribeEan13("5901234567890");
    ExpectTexts(record, {"5901234567890", "(590) 123456789", "EAN-13", "EAN-13",
                         "Product Identifier - Poland"});
}

TEST(Ean13Descriptor, LeavesConfidenceAndCoordinatesAlone) {
    const MatchRecord before = StaleRecord();
    const MatchRecord record = DescribeEan13("5901234567890");
    EXPECT_EQ(record.confidence, before.confidence);
    EXPECT_EQ(record.redundancy, before.redundancy);
    EXPECT_EQ(record.startX, before.startX);
    EXPECT_EQ(record.startY, before.startY);
    EXPECT_EQ(record.stopX, before.stopX);
    EXPECT_EQ(record.stopY, before.stopY);
    EXPECT_EQ(record.centreX, before.centreX);
    EXPECT_EQ(record.centreY, before.centreY);
}

struct PrefixCase {
    const char* digits;
    const char* descriptor;
    const char* data;
};

TEST(Ean13Descriptor, RowsAtRangeBoundaries) {
    constexpr PrefixCase kCases[] = {
        {"1001234567890", "Product Identifier - USA and Canada", "(10) 0123456789"},
        {"1391234567890", "Product Identifier - USA and Canada", "(13) 9123456789"},
        {"1401234567890", "Unspecified", "140123456789"},
        {"2001234567890", "In-Store Functions", "(20) 0123456789"},
        {"2991234567890", "In-Store Functions", "(29) 9123456789"},
        {"4591234567890", "Product Identifier - Japan", "(45) 9123456789"},
        {"4601234567890", "Product Identifier - Russian Federation", "(46) 0123456789"},
        {"4701234567890", "Unspecified", "470123456789"},
        {"4891234567890", "Product Identifier - Hong Kong", "(489) 123456789"},
        {"5001234567890", "Product Identifier - United Kingdom", "(50) 0123456789"},
        {"5491234567890", "Product Identifier - Belgium and Luxembourg", "(54) 9123456789"},
        {"6011234567890", "Product Identifier - South Africa", "(601) 123456789"},
        {"6921234567890", "Product Identifier - China", "(692) 123456789"},
        {"7751234567890", "Product Identifier - Peru", "(775) 123456789"},
        {"7851234567890", "Product Identifier - Peru", "(785) 123456789"},
        {"8591234567890", "Product Identifier - Czech Republic", "(859) 123456789"},
        {"8601234567890", "Product Identifier - Yugloslavia", "(860) 123456789"},
        {"9761234567890", "Unspecified", "976123456789"},
        {"9771234567890", "ISSN (International Periodical Serial Number)", "(977) 123456789"},
        {"9801234567890", "Refund receipt", "(980) 123456789"},
        {"9811234567890", "Common currency coupon", "(981) 123456789"},
        {"9821234567890", "Common currency coupon", "(982) 123456789"},
        {"9831234567890", "Unspecified", "983123456789"},
        {"9901234567890", "Coupon", "(99) 0123456789"},
        {"9991234567890", "Coupon", "(99) 9123456789"},
    };
    for (const PrefixCase& c : kCases) {
        SCOPED_TRACE(c.digits);
        const MatchRecord record = DescribeEan13(c.digits);
        EXPECT_EQ(Text(record.descriptor), c.descriptor);
        EXPECT_EQ(Text(record.data), c.data);
        EXPECT_EQ(Text(record.barcodeType), "EAN-13");
    }
}

// Prefixes without a row show all twelve digits. Of the listed ones, the rows
// spanning whole decades set two digits apart and all narrower rows three.
TEST(Ean13Descriptor, EveryPrefixFrom100IsGroupedByItsRow) {
    const std::set<int> unlisted = UnlistedPrefixes();
    auto wholeDecadeListed = [&](int prefix) {
        for (int p = prefix / 10 * 10; p < prefix / 10 * 10 + 10; ++p) {
            if (unlisted.contains(p)) return false;
        }
        return true;
    };
    for (int prefix = 100; prefix <= 999; ++prefix) {
        if (prefix == 978 || prefix == 979) continue;  // book and music forms
        const std::string digits = ThreeDigits(prefix) + "1234567890";
        SCOPED_TRACE(digits);
        const MatchRecord record = DescribeEan13(digits);
        const bool listed = !unlisted.contains(prefix);
        EXPECT_EQ(Text(record.descriptor) != "Unspecified", listed);
        const size_t group = !listed ? 0 : wholeDecadeListed(prefix) ? 2 : 3;
        // Built by appending: GCC 12 misreports prepending to a temporary string.
        std::string data;
        if (group == 0) {
            data = digits.substr(0, 12);
        } else {
            data.append("(")
                .append(digits, 0, group)
                .append(") ")
                .append(digits, group, 12 - group);
        }
        EXPECT_EQ(Text(record.data), data);
    }
}

TEST(Ean13Descriptor, JapaneseArticleNumbersAreJan13) {
    ExpectTexts(DescribeEan13("4901234567894"),
                {"4901234567894", "(49) 0123456789", "EAN-13", "JAN-13", "Japan"});
    const MatchRecord last = DescribeEan13("4991234567890");
    EXPECT_EQ(Text(last.barcodeType), "JAN-13");
    EXPECT_EQ(Text(last.descriptor), "Japan");
    EXPECT_EQ(Text(last.data), "(49) 9123456789");
}

TEST(Ean13Descriptor, UpcANumberUsesNumberSystemTable) {
    ExpectTexts(DescribeEan13("0123456789012"),
                {"0123456789012", "(NSC 1) Manufacturer: 23456; Product: 78901", "EAN-13", "UPC-A",
                 "Reserved - USA and Canada"});
}

TEST(Ean13Descriptor, UpcACouponHasFamilyAndValueCodes) {
    ExpectTexts(DescribeEan13("0512345678901"),
                {"0512345678901", "Manufacturer: 12345; Family code: 678; Value code: 90", "EAN-13",
                 "UPC-A", "Coupon - USA and Canada"});
}

TEST(Ean13Descriptor, EveryUpcNumberSystem) {
    constexpr std::array<const char*, 10> kDescriptors = {
        "Regular UPC code - USA and Canada",
        "Reserved - USA and Canada",
        "Weight item - USA and Canada",
        "National Drug/Health-related code - USA and Canada",
        "In-store use on non-food items - USA and Canada",
        "Coupon - USA and Canada",
        "Regular UPC code - USA and Canada",
        "Regular UPC code - USA and Canada",
        "Reserved - USA and Canada",
        "Reserved - USA and Canada",
    };
    for (int n = 0; n <= 9; ++n) {
        const std::string digits = std::string("0").append(std::to_string(n)).append("98765432107");
        SCOPED_TRACE(digits);
        const MatchRecord record = DescribeEan13(digits);
        EXPECT_EQ(Text(record.barcodeType), "UPC-A");
        EXPECT_EQ(Text(record.descriptor), kDescriptors[static_cast<size_t>(n)]);
        if (n == 5) continue;
        EXPECT_EQ(Text(record.data),
                  "(NSC " + std::to_string(n) + ") Manufacturer: 98765; Product: 43210");
    }
}

TEST(Ean13Descriptor, BookNumbersInIsbnForm) {
    ExpectTexts(DescribeEan13("9780306406157"), {"9780306406157", "ISBN 0-306-40615-2", "EAN-13",
                                                 "EAN-13", "International Book Serial Number"});
    // Remainders 1 and 0 give the two check characters that are not 11 - r.
    EXPECT_EQ(Text(DescribeEan13("9780804429573").data), "ISBN 0-8044-2957-X");
    EXPECT_EQ(Text(DescribeEan13("9780306406160").data), "ISBN 0-306-40616-0");
}

TEST(Ean13Descriptor, IsbnPublisherLengthBoundaries) {
    constexpr std::pair<const char*, const char*> kCases[] = {
        {"9781193456780", "ISBN 1-19-345678-9"}, {"9781203456780", "ISBN 1-203-45678-6"},
        {"9781693456780", "ISBN 1-693-45678-8"}, {"9781703456780", "ISBN 1-7034-5678-5"},
        {"9781843456780", "ISBN 1-8434-5678-8"}, {"9781853456780", "ISBN 1-85345-678-0"},
        {"9781893456780", "ISBN 1-89345-678-1"}, {"9781903456780", "ISBN 1-903456-78-9"},
        {"9781943456780", "ISBN 1-943456-78-X"}, {"9781953456780", "ISBN 1-9534567-8-2"},
        {"9781993456780", "ISBN 1-9934567-8-3"},
    };
    for (const auto& [digits, data] : kCases) {
        SCOPED_TRACE(digits);
        EXPECT_EQ(Text(DescribeEan13(digits).data), data);
    }
}

TEST(Ean13Descriptor, MusicNumbersInIsmnForm) {
    ExpectTexts(DescribeEan13("9791234567890"), {"9791234567890", "ISMN M-2345-6789-0", "EAN-13",
                                                 "EAN-13", "International Music Serial Number"});
}

TEST(Ean13Descriptor, IsmnPublisherLengthBoundaries) {
    constexpr std::pair<const char*, const char*> kCases[] = {
        {"9791093456789", "ISMN M-093-45678-9"}, {"9791103456789", "ISMN M-1034-5678-9"},
        {"9791393456789", "ISMN M-3934-5678-9"}, {"9791403456789", "ISMN M-40345-678-9"},
        {"9791693456789", "ISMN M-69345-678-9"}, {"9791703456789", "ISMN M-703456-78-9"},
        {"9791893456789", "ISMN M-893456-78-9"}, {"9791903456789", "ISMN M-9034567-8-9"},
        {"9791993456789", "ISMN M-9934567-8-9"},
    };
    for (const auto& [digits, data] : kCases) {
        SCOPED_TRACE(digits);
        EXPECT_EQ(Text(DescribeEan13(digits).data), data);
    }
}

// ---------------------------------------------------------------------------
// EAN-8

TEST(Ean8Descriptor, LowPrefixesAreUsaAndCanadaIncludingCheckDigit) {
    ExpectTexts(DescribeEan8("00012345"), {"00012345", "(00) 012345", "EAN-8", "Generic",
                                           "Product Identifier - USA and Canada"});
    // No UPC-A reading below 100 and no coupon form for number system 5.
    const MatchRecord coupon = DescribeEan8("05012345");
    EXPECT_EQ(Text(coupon.descriptor), "Product Identifier - USA and Canada");
    EXPECT_EQ(Text(coupon.data), "(05) 012345");
    EXPECT_EQ(Text(DescribeEan8("13912345").data), "(13) 912345");
}

TEST(Ean8Descriptor, BookAndMusicPrefixesHaveNoSpecialForm) {
    ExpectTexts(DescribeEan8("97812345"), {"97812345", "(978) 12345", "EAN-8", "Generic",
                                           "ISBN (International Book Serial Number)"});
    ExpectTexts(DescribeEan8("97912345"), {"97912345", "(979) 12345", "EAN-8", "Generic",
                                           "ISMN (International Music Serial Number)"});
}

TEST(Ean8Descriptor, SharedRowsAndAlwaysGeneric) {
    constexpr PrefixCase kCases[] = {
        {"14012345", "Unspecified", "14012345"},
        {"49012345", "Japan", "(49) 012345"},
        {"49912345", "Japan", "(49) 912345"},
        {"45912345", "Product Identifier - Japan", "(45) 912345"},
        {"59012345", "Product Identifier - Poland", "(590) 12345"},
        {"97712345", "ISSN (International Periodical Serial Number)", "(977) 12345"},
        {"99912345", "Coupon", "(99) 912345"},
    };
    for (const PrefixCase& c : kCases) {
        SCOPED_TRACE(c.digits);
        const MatchRecord record = DescribeEan8(c.digits);
        EXPECT_EQ(Text(record.descriptor), c.descriptor);
        EXPECT_EQ(Text(record.data), c.data);
        EXPECT_EQ(Text(record.barcodeType), "Generic");
    }
}

TEST(Ean8Descriptor, EveryPrefixMatchesEan13ExceptBelow140AndBooks) {
    const std::set<int> unlisted = UnlistedPrefixes();
    for (int prefix = 0; prefix <= 999; ++prefix) {
        const std::string digits = ThreeDigits(prefix) + "12345";
        SCOPED_TRACE(digits);
        const MatchRecord ean8 = DescribeEan8(digits);
        EXPECT_EQ(Text(ean8.descriptor) == "Unspecified", unlisted.contains(prefix));
        if (prefix < 140 || prefix == 978 || prefix == 979) continue;
        const MatchRecord ean13 = DescribeEan13(ThreeDigits(prefix) + "1234567890");
        EXPECT_EQ(Text(ean8.descriptor), Text(ean13.descriptor));
        // Same group length: the same number of digits inside the parentheses.
        EXPECT_EQ(Text(ean8.data).find(')'), Text(ean13.data).find(')'));
    }
}

// ---------------------------------------------------------------------------
// UPC-E

TEST(UpcEDescriptor, NumberSystemZeroUsesTheExpansion) {
    MatchRecord record = StaleRecord();
    XR_DescribeUpcE(Reading("01234565"), Digits("012345000065"), record);
    ExpectTexts(record, {"01234565", "(NSC 0) Manufacturer: 12345; Product: 00006", "UPC-E",
                         "Generic", "Regular UPC code - USA and Canada"});
}

TEST(UpcEDescriptor, NumberSystemOneIsReserved) {
    MatchRecord record = StaleRecord();
    XR_DescribeUpcE(Reading("16543217"), Digits("165400000327"), record);
    ExpectTexts(record, {"16543217", "(NSC 1) Manufacturer: 65400; Product: 00032", "UPC-E",
                         "Generic", "Reserved - USA and Canada"});
}

// ---------------------------------------------------------------------------
// Readings that no decoder should hand over

TEST(DescriptorRobustness, DigitOutsideZeroToNineIsShownAsUnknown) {
    for (const int bad : {-1, 10, 12, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(bad);
        // In the prefix: no table is consulted with it, not even the UPC one.
        std::vector<BestMatch> reading = Reading("0123456789012");
        reading[1].index = bad;
        MatchRecord record = StaleRecord();
        XR_DescribeEan13(reading, record);
        ExpectAllTerminated(record);
        EXPECT_EQ(Text(record.rawData), "0?23456789012");
        EXPECT_EQ(Text(record.descriptor), "Unspecified");
        EXPECT_EQ(Text(record.data), "0?2345678901");

        // In the body of a book number: the prefix still counts, the digit does not.
        reading = Reading("9780306406157");
        reading[6].index = bad;
        record = StaleRecord();
        XR_DescribeEan13(reading, record);
        ExpectAllTerminated(record);
        EXPECT_EQ(Text(record.rawData), "978030?406157");
        EXPECT_EQ(Text(record.descriptor), "International Book Serial Number");
        EXPECT_EQ(Text(record.data).find_first_not_of("0123456789?() "), std::string::npos);

        reading = Reading("49012345");
        reading[0].index = bad;
        record = StaleRecord();
        XR_DescribeEan8(reading, record);
        ExpectAllTerminated(record);
        EXPECT_EQ(Text(record.rawData), "?9012345");
        EXPECT_EQ(Text(record.descriptor), "Unspecified");

        reading = Reading("11234565");
        reading[0].index = bad;
        std::vector<int> expansion = Digits("012345000065");
        expansion[3] = bad;
        record = StaleRecord();
        XR_DescribeUpcE(reading, expansion, record);
        ExpectAllTerminated(record);
        EXPECT_EQ(Text(record.rawData), "?1234565");
        EXPECT_EQ(Text(record.descriptor), "Reserved - USA and Canada");
        EXPECT_EQ(Text(record.data), "(NSC ?) Manufacturer: 12?45; Product: 00006");
    }
}

TEST(DescriptorRobustness, ShortReadingsStayInsideTheirBounds) {
    MatchRecord record = StaleRecord();
    XR_DescribeEan13({}, record);
    ExpectAllTerminated(record);
    EXPECT_EQ(Text(record.rawData), std::string(13, '?'));
    EXPECT_EQ(Text(record.descriptor), "Unspecified");

    record = StaleRecord();
    XR_DescribeEan13(Reading("97912"), record);
    ExpectAllTerminated(record);
    EXPECT_EQ(Text(record.rawData), "97912????????");

    record = StaleRecord();
    XR_DescribeEan8(Reading("5"), record);
    ExpectAllTerminated(record);
    EXPECT_EQ(Text(record.rawData), "5???????");

    record = StaleRecord();
    XR_DescribeUpcE({}, {}, record);
    ExpectAllTerminated(record);
    EXPECT_EQ(Text(record.rawData), "????????");
    EXPECT_EQ(Text(record.data), "(NSC ?) Manufacturer: ?????; Product: ?????");
}

}  // namespace
