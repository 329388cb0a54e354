#include "engine/descriptors/ucc_ean128_descriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"
#include "tests/descriptors/record_helpers.h"

namespace {

using namespace zeph::test;

// Texts are written with '|' for FNC1 and '#' for FNC2, so that digits after a
// function character are not taken into a hexadecimal escape.
std::string Raw(std::string_view text) {
    std::string raw(text);
    std::replace(raw.begin(), raw.end(), '|', kFnc1Byte);
    std::replace(raw.begin(), raw.end(), '#', static_cast<char>(0xFE));
    return raw;
}

struct Described {
    int result = -1;
    MatchRecord record;
};

// The record as the Code 128 decoder hands it over, with `tail` in every byte
// after the text's terminator.
Described Describe(std::string_view text, char tail = 'x') {
    Described d;
    d.record = StaleRecord();
    d.record.rawData.fill(tail);
    XR_SetText(d.record.rawData, Raw(text));
    XR_SetText(d.record.data, Raw(text));
    XR_SetText(d.record.symbology, "CODE-128");
    XR_SetText(d.record.barcodeType, "Generic");
    XR_SetText(d.record.descriptor, "");
    d.result = XR_DescribeUccEan128(d.record);
    return d;
}

struct ChainCase {
    const char* name;
    const char* text;
    int result;
    std::string descriptor;
    std::string data;
};

void PrintTo(const ChainCase& c, std::ostream* os) {
    *os << c.name;
}

class Chains : public ::testing::TestWithParam<ChainCase> {};

TEST_P(Chains, DescribeTheChain) {
    const ChainCase& c = GetParam();
    const Described d = Describe(c.text);
    EXPECT_EQ(d.result, c.result);
    ExpectTexts(d.record, {Raw(c.text), Raw(c.data), "CODE-128", "UCC/EAN-128", c.descriptor});
}

std::string CaseName(const ::testing::TestParamInfo<ChainCase>& info) {
    return info.param.name;
}

const std::string kCase = "Packaging type: Case; Serial number: ";
const std::string kUspsData =
    "Service type: 12; Customer ID (DUNS nb.): 123456789; Sequential pakage ID: 12345678; "
    "Check digit: 5";

// The worked examples of the format.
const ChainCase kExamples[] = {
    {"Sscc18", "|00012345678901234567", 1, "Serial Shipping Container Code (SSCC-18)",
     kCase + "12345678901234567"},
    {"DateThenBatch", "|1706123110ABC", 1, "Expiration Date; Batch Number", "12/31/2006; ABC"},
    {"MonthOnlyDate", "|11991200", 1, "Production Date", "12/1999"},
    {"LastYearOfTheCentury", "|11501231", 1, "Production Date", "12/31/2050"},
    // The next AI is looked for where the date should have ended.
    {"ShortDate", "|1112|10AB", 0, "Production Date; ", "<bad date format>; "},
    {"NetWeightKg", "|3103001500", 1, "Product Net Weight", "1.500000 kg"},
    {"NetWeightLbs", "|3202012345", 1, "Product Net Weight", "123.450000 lbs"},
    {"NoMeasure", "|3170001500", 0, "", ""},
    {"Price", "|8005001299", 1, "Price per Unit", "12.99"},
    {"InternalUseTakesTheRest", "|99ABC|10XYZ", 1, "Internal Use", "ABC|10XYZ"},
    {"UnknownAi", "|05", 0, "", ""},
    {"GtinDateBatch", "|01095011015300031726123110ABC", 1,
     "Serial Shipping Container Code (SSCC-14); Expiration Date; Batch Number",
     kCase + "9501101530003; 12/31/2026; ABC"},
};
INSTANTIATE_TEST_SUITE_P(Examples, Chains, ::testing::ValuesIn(kExamples), CaseName);

// One or more cases for every row of the AI table.
const ChainCase kRows[] = {
    {"Sscc14Pallet", "|0111234567890123", 1, "Serial Shipping Container Code (SSCC-14)",
     "Packaging type: Pallet; Serial number: 1234567890123"},
    {"Sscc18Container", "|00212345678901234567", 1, "Serial Shipping Container Code (SSCC-18)",
     "Packaging type: Container; Serial number: 12345678901234567"},
    {"Sscc18Variable", "|00912345678901234567", 1, "Serial Shipping Container Code (SSCC-18)",
     "Packaging type: Variable container; Serial number: 12345678901234567"},
    {"Sscc18Undefined", "|00512345678901234567", 1, "Serial Shipping Container Code (SSCC-18)",
     "Packaging type: Undefined; Serial number: 12345678901234567"},
    {"Containers", "|0212345678901234", 1, "Number of containers contained in another unit",
     "12345678901234"},
    {"PackagingDate", "|13040229", 1, "Packaging Date", "2/29/2004"},
    {"SellByDate", "|15700101", 1, "Sell By Date", "1/1/1970"},
    {"Variation", "|2007", 1, "Product Variation Code", "07"},
    {"Serial", "|21SN-123", 1, "Serial Number", "SN-123"},
    {"Hibcc", "|22H1", 1, "HIBCC Code", "H1"},
    {"LotIgnoresThirdDigit", "|235LOT9", 1, "Lot Number", "LOT9"},
    {"AdditionalId", "|240PID", 1, "Additional Product Identification", "PID"},
    {"AdditionalIdNeedsZero", "|241PID", 0, "", ""},
    {"SecondSerial", "|250SER2", 1, "Second Serial Number", "SER2"},
    {"SecondSerialNeedsZero", "|259SER2", 0, "", ""},
    {"Quantity", "|3012", 1, "Quantity Each", "12"},
    {"CountEndingInFnc1", "|3712|10A", 1, "Number of Units Contained", "12"},
    {"CountAtTheEnd", "|3712345", 1, "Number of Units Contained", "12345"},
    {"CountOfEightDigits", "|37123456789", 0, "Number of Units Contained; ", "12345678; "},
    {"CountWithoutDigits", "|37|10A", 1, "Number of Units Contained", "0"},
    {"CountNotNumeric", "|371A", 1, "Number of Units Contained", "-1"},
    {"PurchaseOrder", "|400PO123", 1, "Customer Purchase Order Number", "PO123"},
    {"PurchaseOrderNeedsZero", "|401PO123", 0, "", ""},
    {"ShipTo", "|4100123456789012", 1, "Ship To Location",
     "0123456789012 (EAN13 or DUNS location code)"},
    {"BillTo", "|4111234567890128", 1, "Bill To Location",
     "1234567890128 (EAN13 or DUNS location code)"},
    {"PurchaseFrom", "|4121234567890128", 1, "Purchase From Location",
     "1234567890128 (EAN13 or DUNS location code)"},
    {"NoSuchLocation", "|4131234567890128", 0, "", ""},
    {"PostalCode", "|420123456789", 1, "Ship To Location", "Postal code: 123456789"},
    {"CountryAndPostalCodes", "|421840123456789", 1, "Ship To Location",
     "Country and Postal codes: (840) - 123456789"},
    {"PostalCodeThenUsps",
     "|420123456789|911212345678912345678"
     "5",
     1, "Ship To Location, including USPS EAN128", "Postal code: 123456789; " + kUspsData},
    {"ShortPostalCodeThenBatch", "|42012345|10AB", 1, "Ship To Location; Batch Number",
     "Postal code: 12345; AB"},
    {"NoSuchPostalForm", "|422123", 0, "", ""},
    {"RollFaceIn",
     "|8001123412345123"
     "12",
     1, "Roll Product Dimensions",
     "Stilt width: 1234 mm; Actual length: 12345 m; Internal core diameter: 123 mm; "
     "Winding direction: Face in; Number of splices: 2"},
    {"RollFaceOut",
     "|8001000100100001"
     "00",
     1, "Roll Product Dimensions",
     "Stilt width: 0001 mm; Actual length: 00100 m; Internal core diameter: 001 mm; "
     "Winding direction: Face out; Number of splices: 0"},
    {"RollUnknownWinding",
     "|8001000100100001"
     "79",
     1, "Roll Product Dimensions",
     "Stilt width: 0001 mm; Actual length: 00100 m; Internal core diameter: 001 mm; "
     "Winding direction: Unknown; Number of splices: 9"},
    {"Esn", "|8002ESN123", 1, "Cellular Phone Electronic Serial Number (ESN)", "ESN123"},
    {"AssetType", "|800301234567890128SER", 1, "Returnable Asset Identification",
     "UCC/EAN asset type: 1234567890128; Serial number: SER"},
    {"AssetTypeNeedsZero", "|800311234567890128SER", 0, "", ""},
    {"AssetSerial", "|8004ABC", 1, "Returnable Asset Identification", "Serial number: ABC"},
    {"BadPrice", "|80050012A9", 1, "Price per Unit", "-1.00"},
    {"NoSuchRollForm", "|8006123", 0, "", ""},
    {"Coupon", "|8100612345", 1, "Coupon Extended Code", "UCC prefix 6; Offer code 12345"},
    {"ExpiringCoupon", "|81016123451231", 1, "Coupon Extended Code",
     "UCC prefix 6; Offer code 12345; Expires 12/31"},
    {"CouponThenSerial", "|8101054321120021123456", 1, "Coupon Extended Code; Serial Number",
     "UCC prefix 0; Offer code 54321; Expires 12/00; 123456"},
    {"NullCoupon", "|810207", 1, "Coupon Extended Code", "07 (a.k.a. Null Code)"},
    {"CouponWithHousehold", "|8100612345|21HOUSE", 1, "Coupon Extended Code",
     "UCC prefix 6; Offer code 12345; Household ID: HOUSE"},
    {"CouponThenBatch", "|810207|10AB", 1, "Coupon Extended Code; Batch Number",
     "07 (a.k.a. Null Code); AB"},
    {"NoSuchCoupon", "|8103", 0, "", ""},
    {"MutuallyAgreed", "|90ANY|thing", 1, "Mutually Agreed Between Trading Partners", "ANY|thing"},
    {"Usps",
     "|911212345678912345678"
     "5",
     1, "USPS EAN128", kUspsData},
    {"InternalUse92", "|92A#B", 1, "Internal Use", "A#B"},
    {"UnknownAi38", "|38", 0, "", ""},
    {"UnknownAi82", "|8201", 0, "", ""},
    {"NoAiAtAll", "|A1", 0, "", ""},
    {"OnlyFnc1", "|", 0, "", ""},
    // Function characters are no AI digits.
    {"Fnc2ForAnAi", "|#0", 0, "", ""},
    {"Fnc1ForAnAi", "||00", 0, "", ""},
    {"OneDigitBeforeFnc1", "|1|10AB", 0, "", ""},
    {"OneRollDigitBeforeFnc1", "|801|10AB", 0, "", ""},
    {"StopKeepsTheSeparator", "|2007|05", 0, "Product Variation Code; ", "07; "},
};
INSTANTIATE_TEST_SUITE_P(Rows, Chains, ::testing::ValuesIn(kRows), CaseName);

// Measures: every AI, a few quantities, the ones that do not exist, bad digits.
const ChainCase kMeasures[] = {
    {"ProductVolumeCubicMeters", "|3160000002", 1, "Product Volume", "2.000000 cubic meters"},
    {"ProductLengthYards", "|3232001234", 1, "Product Length/1st Dimension", "12.340000 yards"},
    {"ContainerWeightKg", "|3300999999", 1, "Container Gross Weight", "999999.000000 kg"},
    {"ContainerDepthYards", "|3495123456", 1, "Container Depth/Thickness/3rd Dimension",
     "1.234560 yards"},
    {"TroyOunces", "|3561000010", 1, "Net Weight", "1.000000 troy ounces"},
    {"ContainerVolumeCubicYards", "|3699123456", 1, "Container Gross Volume",
     "0.000123 cubic yards"},
    {"NoQuantity31x7", "|3171000000", 0, "", ""},
    {"NoQuantity33x9", "|3391000000", 0, "", ""},
    {"NoQuantity35x8", "|3581000000", 0, "", ""},
    {"QuantityNotADigit", "|31A1000000", 0, "", ""},
    {"DecimalsNotADigit", "|310A000000", 0, "", ""},
    {"DigitsNotNumeric", "|3103ABCDEF", 1, "Product Net Weight", "-1.000000 kg"},
    {"DigitsCutShort", "|310300", 1, "Product Net Weight", "-1.000000 kg"},
    {"DigitsEndAtFnc1", "|310312|10A", 1, "Product Net Weight", "0.012000 kg"},
    // Times 0.1^d, whose rounding shows at seven to nine decimals: a division
    // by 10^d would print 0.000000 for each of these.
    {"SevenDecimals", "|3107000005", 1, "Product Net Weight", "0.000001 kg"},
    {"EightDecimals", "|3108000050", 1, "Product Net Weight", "0.000001 kg"},
    {"NineDecimals", "|3109000500", 1, "Product Net Weight", "0.000001 kg"},
};
INSTANTIATE_TEST_SUITE_P(Measures, Chains, ::testing::ValuesIn(kMeasures), CaseName);

TEST(UccEan128Descriptor, TextWithoutLeadingFnc1IsLeftAlone) {
    for (const char* text : {"", "0012345678901234567", "#00123", "A|00"}) {
        MatchRecord record = StaleRecord();
        XR_SetText(record.rawData, Raw(text));
        const MatchRecord before = record;
        EXPECT_EQ(XR_DescribeUccEan128(record), 0) << text;
        EXPECT_EQ(record.rawData, before.rawData) << text;
        EXPECT_EQ(record.data, before.data) << text;
        EXPECT_EQ(record.barcodeType, before.barcodeType) << text;
        EXPECT_EQ(record.descriptor, before.descriptor) << text;
    }
}

TEST(UccEan128Descriptor, KeepsEverythingButTheThreeTexts) {
    Described d = Describe("|10ABC");
    const MatchRecord stale = StaleRecord();
    EXPECT_EQ(d.record.confidence, stale.confidence);
    EXPECT_EQ(d.record.redundancy, stale.redundancy);
    EXPECT_EQ(d.record.startX, stale.startX);
    EXPECT_EQ(d.record.centreY, stale.centreY);
    ExpectAllTerminated(d.record);
}

// Every title and value is appended in full, so the joined texts are cut at
// the fields' widths.
TEST(UccEan128Descriptor, LongChainsAreCutAtTheFieldWidths) {
    const Described titles = Describe("|200120022003200420052006");
    std::string fullTitles = "Product Variation Code";
    for (int i = 1; i < 6; ++i)
        fullTitles += "; Product Variation Code";
    EXPECT_EQ(titles.result, 1);
    EXPECT_EQ(Text(titles.record.descriptor), fullTitles.substr(0, kNameWidth - 1));
    EXPECT_EQ(Text(titles.record.data), "01; 02; 03; 04; 05; 06");

    const std::string roll =
        "8001123412345123"
        "12";
    const Described rolls = Describe("|" + roll + roll + roll + roll + roll);
    std::string fullData;
    for (int i = 0; i < 5; ++i) {
        if (i > 0) fullData += "; ";
        fullData +=
            "Stilt width: 1234 mm; Actual length: 12345 m; Internal core diameter: 123 mm; "
            "Winding direction: Face in; Number of splices: 2";
    }
    ASSERT_GT(fullData.size(), kDataWidth);
    EXPECT_EQ(rolls.result, 1);
    EXPECT_EQ(Text(rolls.record.data), fullData.substr(0, kDataWidth - 1));
    ExpectAllTerminated(rolls.record);
}

// A text of the full width of rawData has no terminator inside the text: the
// walk ends with the field.
TEST(UccEan128Descriptor, RawDataWithoutTerminatorIsReadToItsWidth) {
    MatchRecord record = StaleRecord();
    record.rawData.fill('7');
    record.rawData[0] = kFnc1Byte;
    record.rawData[1] = '9';
    record.rawData[2] = '2';
    EXPECT_EQ(XR_DescribeUccEan128(record), 1);
    EXPECT_EQ(Text(record.data), std::string(kRawDataWidth - 3, '7'));
}

// Texts ending inside a field of every kind of row. Whatever lies behind the
// terminator must never show: the same text is described with two different
// tails after it.
TEST(UccEan128Descriptor, TextsCutAnywhereAreReadOnlyToTheirEnd) {
    const char* full[] = {
        "|00012345678901234567",
        "|1706123110ABC",
        "|3103001500",
        "|3712345",
        "|4100123456789012",
        "|421840123456789|911212345678912345678"
        "5",
        "|8001123412345123"
        "12",
        "|800301234567890128SER",
        "|8005001299",
        "|81016123451231|2112345",
        "|911212345678912345678"
        "5",
        "|240PID",
        "|90ANY",
    };
    for (const char* text : full) {
        const std::string s = text;
        for (size_t length = 1; length <= s.size(); ++length) {
            const std::string cut = s.substr(0, length);
            SCOPED_TRACE(cut);
            const Described a = Describe(cut, '7');
            const Described b = Describe(cut, 'Z');
            EXPECT_EQ(a.result, b.result);
            EXPECT_EQ(Text(a.record.data), Text(b.record.data));
            EXPECT_EQ(Text(a.record.descriptor), Text(b.record.descriptor));
            EXPECT_EQ(Text(a.record.barcodeType), "UCC/EAN-128");
            ExpectAllTerminated(a.record);
        }
    }
}

TEST(UccEan128Descriptor, FieldsRunningPastTheEndAreShownAsFarAsTheTextGoes) {
    const ChainCase cases[] = {
        {"", "|0001234", 1, "Serial Shipping Container Code (SSCC-18)", kCase + "1234"},
        {"", "|00", 1, "Serial Shipping Container Code (SSCC-18)",
         "Packaging type: Undefined; Serial number: "},
        {"", "|8001123", 1, "Roll Product Dimensions",
         "Stilt width: 123 mm; Actual length:  m; Internal core diameter:  mm; Winding "
         "direction: Unknown; Number of splices: "},
        {"", "|91", 1, "USPS EAN128",
         "Service type: ; Customer ID (DUNS nb.): ; Sequential pakage ID: ; Check digit: "},
        {"", "|420123|91", 1, "Ship To Location, including USPS EAN128",
         "Postal code: 123; Service type: ; Customer ID (DUNS nb.): ; Sequential pakage ID: ; "
         "Check digit: "},
        {"", "|8100612345|21", 1, "Coupon Extended Code",
         "UCC prefix 6; Offer code 12345; Household ID: "},
        {"", "|8101612", 1, "Coupon Extended Code", "UCC prefix 6; Offer code 12; Expires /"},
        {"", "|1706", 1, "Expiration Date", "<bad date format>"},
        {"", "|41", 0, "", ""},
    };
    for (const ChainCase& c : cases) {
        SCOPED_TRACE(c.text);
        const Described d = Describe(c.text, '7');
        EXPECT_EQ(d.result, c.result);
        EXPECT_EQ(Text(d.record.descriptor), c.descriptor);
        EXPECT_EQ(Text(d.record.data), Raw(c.data));
    }
}

// ---------------------------------------------------------------------------
// Field routines, each on a heap copy of exactly the text and its terminator,
// so that a read past the terminator is caught by the address sanitizer.

std::unique_ptr<char[]> Exact(std::string_view text) {
    const std::string raw = Raw(text);
    auto copy = std::make_unique<char[]>(raw.size() + 1);
    std::memcpy(copy.get(), raw.c_str(), raw.size() + 1);
    return copy;
}

TEST(UccEan128Fields, ReadDigits) {
    const struct {
        const char* text;
        int count;
        int value;
    } cases[] = {
        {"0123", 4, 123},
        {"0123", 2, 1},
        {"12|34", 5, 12},
        {"#5", 2, 0},
        {"12A4", 4, -1},
        {"12", 3, -1},
        {"", 1, -1},
        {"", 0, 0},
        {"9", -3, 0},
        {" 12", 3, -1},
        {"-12", 3, -1},
        {"2147483647", 10, INT_MAX},
        {"2147483648", 10, -1},
        {"99999999999", 11, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(XR_ReadDigits(Exact(c.text).get(), c.count), c.value) << c.text << " " << c.count;
    }
}

TEST(UccEan128Fields, FieldText) {
    EXPECT_EQ(XR_FieldText(Exact("ABCDEF").get(), 4), "ABCD");
    EXPECT_EQ(XR_FieldText(Exact("AB").get(), 20), "AB");
    EXPECT_EQ(XR_FieldText(Exact("AB|CD").get(), 20), "AB");
    EXPECT_EQ(XR_FieldText(Exact("AB\x80"
                                 "CD")
                               .get(),
                           20),
              "AB");
    EXPECT_EQ(XR_FieldText(Exact("AB").get(), 0), "");
    EXPECT_EQ(XR_FieldText(Exact("AB").get(), -5), "");
    EXPECT_EQ(XR_FieldText(Exact("").get(), 3), "");

    const std::string longText(150, 'L');
    EXPECT_EQ(XR_FieldText(Exact(longText).get(), 200), longText.substr(0, 99));
}

TEST(UccEan128Fields, DecimalValue) {
    EXPECT_DOUBLE_EQ(XR_DecimalValue(Exact("001500").get(), 6, 3), 1.5);
    EXPECT_DOUBLE_EQ(XR_DecimalValue(Exact("012345").get(), 6, 2), 123.45);
    EXPECT_DOUBLE_EQ(XR_DecimalValue(Exact("123456").get(), 6, 0), 123456.0);
    EXPECT_DOUBLE_EQ(XR_DecimalValue(Exact("123456").get(), 6, 9), 0.000123456);
    EXPECT_DOUBLE_EQ(XR_DecimalValue(Exact("12|999").get(), 6, 1), 1.2);
    EXPECT_EQ(XR_DecimalValue(Exact("12A456").get(), 6, 2), -1.0);
    EXPECT_EQ(XR_DecimalValue(Exact("123").get(), 6, 2), -1.0);
}

TEST(UccEan128Fields, FormatDate) {
    const struct {
        const char* text;
        const char* date;
    } cases[] = {
        {"061231", "12/31/2006"},        {"991200", "12/1999"},
        {"501231", "12/31/2050"},        {"510101", "1/1/1951"},
        {"000105", "1/5/2000"},          {"0612319", "12/31/2006"},
        {"0612", "<bad date format>"},   {"06123", "<bad date format>"},
        {"", "<bad date format>"},       {"0612|31", "<bad date format>"},
        {"06A231", "<bad date format>"}, {"0612 1", "<bad date format>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XR_FormatDate(Exact(c.text).get()), c.date) << c.text;
}

// Every routine on every prefix of a text, with counts up to past its end.
TEST(UccEan128Fields, NoRoutineReadsPastTheTerminator) {
    const std::string text = "1234567890AB|12";
    for (size_t length = 0; length <= text.size(); ++length) {
        const auto s = Exact(text.substr(0, length));
        for (int count = 0; count < 24; ++count) {
            EXPECT_GE(XR_ReadDigits(s.get(), count), -1);
            EXPECT_LE(XR_FieldText(s.get(), count).size(), length);
            EXPECT_GE(XR_DecimalValue(s.get(), count, count % 10), -1.0);
        }
        EXPECT_FALSE(XR_FormatDate(s.get()).empty());
    }
}

}  // namespace
