// The application identifiers the UCC/EAN-128 descriptor knows: titles, field
// layouts, units of measures and the texts of the sub-forms.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace zeph::gs1 {

// ---------------------------------------------------------------------------
// Value layouts: a value is built by appending, for each piece, its literal and
// then the field of `length` bytes at `offset` from the layout's base (no field
// when length is 0).

enum class PieceKind : uint8_t {
    kField,
    kWinding,  // the one byte at offset as a roll's winding direction
};

struct Piece {
    std::string_view literal;
    int offset = 0;
    int length = 0;
    PieceKind kind = PieceKind::kField;
};

using Layout = std::span<const Piece>;

// Plain fields of fixed position.
constexpr Piece kField2x2[] = {{"", 2, 2}};
constexpr Piece kField2x14[] = {{"", 2, 14}};
constexpr Piece kField2x20[] = {{"", 2, 20}};
constexpr Piece kField2x29[] = {{"", 2, 29}};
constexpr Piece kField2x30[] = {{"", 2, 30}};
constexpr Piece kField3x13[] = {{"", 3, 13}};
constexpr Piece kField3x17[] = {{"", 3, 17}};
constexpr Piece kField3x19[] = {{"", 3, 19}};
constexpr Piece kField3x29[] = {{"", 3, 29}};
constexpr Piece kField3x30[] = {{"", 3, 30}};

// AI 41x.
constexpr Piece kLocation[] = {{"", 3, 13}, {" (EAN13 or DUNS location code)"}};

// AI 420 and 421.
constexpr Piece kPostalCode[] = {{"Postal code: ", 3, 9}};
constexpr Piece kCountryAndPostalCodes[] = {{"Country and Postal codes: (", 3, 3}, {") - ", 6, 9}};

// AI 91, based at the AI; also the USPS data that may follow AI 42x after an
// FNC1, based at the "91" right after that FNC1.
constexpr Piece kUsps[] = {
    {"Service type: ", 2, 2},
    {"; Customer ID (DUNS nb.): ", 4, 9},
    {"; Sequential pakage ID: ", 13, 8},
    {"; Check digit: ", 21, 1},
};
constexpr int kUspsNext = 22;

// AI 80xx.
constexpr Piece kRoll[] = {
    {"Stilt width: ", 4, 4},
    {" mm; Actual length: ", 8, 5},
    {" m; Internal core diameter: ", 13, 3},
    {" mm; Winding direction: ", 16, 1, PieceKind::kWinding},
    {"; Number of splices: ", 17, 1},
};
constexpr Piece kEsn[] = {{"", 4, 20}};
constexpr Piece kAssetType[] = {{"UCC/EAN asset type: ", 5, 13}, {"; Serial number: ", 18, 15}};
constexpr Piece kAssetSerial[] = {{"Serial number: ", 4, 30}};

// AI 81xx; the household ID is based at the FNC1 that precedes its AI 21.
constexpr Piece kCoupon[] = {{"UCC prefix ", 4, 1}, {"; Offer code ", 5, 5}};
constexpr Piece kCouponExpiring[] = {
    {"UCC prefix ", 4, 1},
    {"; Offer code ", 5, 5},
    {"; Expires ", 10, 2},
    {"/", 12, 2},
};
constexpr Piece kNullCoupon[] = {{"", 4, 2}, {" (a.k.a. Null Code)"}};
constexpr Piece kHousehold[] = {{"; Household ID: ", 3, 20}};
constexpr int kHouseholdNext = 23;
constexpr int kHouseholdAi = 21;

// ---------------------------------------------------------------------------
// The AI table, by its first two digits.

enum class AiKind : uint8_t {
    kField,      // the layout
    kPackaging,  // packaging text of the digit at p + 2, then the layout
    kDate,       // YYMMDD at p + 2
    kMeasure,    // AIs 31 to 36: quantity, unit and decimals from p + 2 and p + 3
    kCount,      // 8 digits at p + 2 as a whole number
    kLocation,   // AI 41x: the title depends on x
    kPostal,     // AI 42x, maybe followed by USPS data
    kRoll,       // AI 80xx: roll, ESN, assets and price
    kCoupon,     // AI 81xx
    kRest,       // the whole rest of the text from p + 2; ends the walk
    kUsps,       // AI 91
};

// kNoByte: no condition on the byte at p + 2.
constexpr char kNoByte = '\0';

struct AiRow {
    int first = 0;
    int last = 0;
    AiKind kind = AiKind::kField;
    std::string_view title;
    Layout layout;
    int next = 0;          // the read position moves by this much
    char third = kNoByte;  // the byte required at p + 2
};

constexpr AiRow kAiRows[] = {
    {0, 0, AiKind::kPackaging, "Serial Shipping Container Code (SSCC-18)", kField3x17, 20},
    {1, 1, AiKind::kPackaging, "Serial Shipping Container Code (SSCC-14)", kField3x13, 16},
    {2, 2, AiKind::kField, "Number of containers contained in another unit", kField2x14, 16},
    {10, 10, AiKind::kField, "Batch Number", kField2x20, 22},
    {11, 11, AiKind::kDate, "Production Date", {}, 8},
    {13, 13, AiKind::kDate, "Packaging Date", {}, 8},
    {15, 15, AiKind::kDate, "Sell By Date", {}, 8},
    {17, 17, AiKind::kDate, "Expiration Date", {}, 8},
    {20, 20, AiKind::kField, "Product Variation Code", kField2x2, 4},
    {21, 21, AiKind::kField, "Serial Number", kField2x20, 22},
    {22, 22, AiKind::kField, "HIBCC Code", kField2x29, 31},
    // The third digit of AI 23x is part of the AI but not checked.
    {23, 23, AiKind::kField, "Lot Number", kField3x19, 22},
    {24, 24, AiKind::kField, "Additional Product Identification", kField3x30, 33, '0'},
    {25, 25, AiKind::kField, "Second Serial Number", kField3x30, 33, '0'},
    {30, 30, AiKind::kField, "Quantity Each", kField2x30, 32},
    {31, 36, AiKind::kMeasure, "", {}, 10},
    {37, 37, AiKind::kCount, "Number of Units Contained", {}, 10},
    {40, 40, AiKind::kField, "Customer Purchase Order Number", kField3x29, 32, '0'},
    {41, 41, AiKind::kLocation, "", kLocation, 16},
    {42, 42, AiKind::kPostal, "Ship To Location", {}, 0},
    {80, 80, AiKind::kRoll, "", {}, 0},
    {81, 81, AiKind::kCoupon, "Coupon Extended Code", {}, 0},
    {90, 90, AiKind::kRest, "Mutually Agreed Between Trading Partners", {}, 0},
    {91, 91, AiKind::kUsps, "USPS EAN128", kUsps, kUspsNext},
    {92, 99, AiKind::kRest, "Internal Use", {}, 0},
};

// ---------------------------------------------------------------------------
// Packaging texts of AIs 00 and 01, by the digit after the AI.

struct Packaging {
    char digit;
    std::string_view text;
};

constexpr Packaging kPackagings[] = {
    {'0', "Packaging type: Case; Serial number: "},
    {'1', "Packaging type: Pallet; Serial number: "},
    {'2', "Packaging type: Container; Serial number: "},
    {'9', "Packaging type: Variable container; Serial number: "},
};
constexpr std::string_view kUndefinedPackaging = "Packaging type: Undefined; Serial number: ";

// ---------------------------------------------------------------------------
// Measures: AIs 31 to 36 by the quantity digit n; an empty title is no measure.
// The unit follows the value printed with six decimals.

struct Measure {
    std::string_view title;
    std::string_view unit;
};

constexpr int kFirstMeasureAi = 31;

constexpr std::string_view kProductWeight = "Product Net Weight";
constexpr std::string_view kProductLength = "Product Length/1st Dimension";
constexpr std::string_view kProductWidth = "Product Width/Diameter/2nd Dimension";
constexpr std::string_view kProductDepth = "Product Depth/Thickness/3rd Dimension";
constexpr std::string_view kProductArea = "Product Area";
constexpr std::string_view kProductVolume = "Product Volume";
constexpr std::string_view kContainerWeight = "Container Gross Weight";
constexpr std::string_view kContainerLength = "Container Length/1st Dimension";
constexpr std::string_view kContainerWidth = "Container Width/Diameter/2nd Dimension";
constexpr std::string_view kContainerDepth = "Container Depth/Thickness/3rd Dimension";
constexpr std::string_view kContainerArea = "Container Area";
constexpr std::string_view kContainerVolume = "Container Gross Volume";

constexpr std::array<std::array<Measure, 10>, 6> kMeasures = {{
    // 31
    {{{kProductWeight, " kg"},
      {kProductLength, " meters"},
      {kProductWidth, " meters"},
      {kProductDepth, " meters"},
      {kProductArea, " square meters"},
      {kProductVolume, " liters"},
      {kProductVolume, " cubic meters"},
      {},
      {},
      {}}},
    // 32
    {{{kProductWeight, " lbs"},
      {kProductLength, " inches"},
      {kProductLength, " feet"},
      {kProductLength, " yards"},
      {kProductWidth, " inches"},
      {kProductWidth, " feet"},
      {kProductWidth, " yards"},
      {kProductDepth, " inches"},
      {kProductDepth, " feet"},
      {kProductDepth, " yards"}}},
    // 33
    {{{kContainerWeight, " kg"},
      {kContainerLength, " meters"},
      {kContainerWidth, " meters"},
      {kContainerDepth, " meters"},
      {kContainerArea, " square meters"},
      {kContainerVolume, " liters"},
      {kContainerVolume, " cubic meters"},
      {},
      {},
      {}}},
    // 34
    {{{kContainerWeight, " lbs"},
      {kContainerLength, " inches"},
      {kContainerLength, " feet"},
      {kContainerLength, " yards"},
      {kContainerWidth, " inches"},
      {kContainerWidth, " feet"},
      {kContainerWidth, " yards"},
      {kContainerDepth, " inches"},
      {kContainerDepth, " feet"},
      {kContainerDepth, " yards"}}},
    // 35
    {{{kProductArea, " square inches"},
      {kProductArea, " square feet"},
      {kProductArea, " square yards"},
      {kContainerArea, " square inches"},
      {kContainerArea, " square feet"},
      {kContainerArea, " square yards"},
      {"Net Weight", " troy ounces"},
      {},
      {},
      {}}},
    // 36
    {{{kProductVolume, " quarts"},
      {kProductVolume, " gallons"},
      {kContainerVolume, " quarts"},
      {kContainerVolume, " gallons"},
      {kProductVolume, " cubic inches"},
      {kProductVolume, " cubic feet"},
      {kProductVolume, " cubic yards"},
      {kContainerVolume, " cubic inches"},
      {kContainerVolume, " cubic feet"},
      {kContainerVolume, " cubic yards"}}},
}};

// The six digits of a measure's value start at p + 4.
constexpr int kMeasureValueOffset = 4;
constexpr int kMeasureDigits = 6;

// AI 37: a count of up to eight digits.
constexpr int kCountOffset = 2;
constexpr int kCountDigits = 8;

// ---------------------------------------------------------------------------
// AI 41x: the title by x.

constexpr std::array<std::string_view, 3> kLocationTitles = {
    "Ship To Location",
    "Bill To Location",
    "Purchase From Location",
};

// AI 42x: the layout by x; USPS data may follow after an FNC1.
struct Postal {
    char third;
    Layout layout;
};

constexpr Postal kPostals[] = {
    {'0', kPostalCode},
    {'1', kCountryAndPostalCodes},
};
constexpr int kUspsAi = 91;
constexpr std::string_view kUspsTitleSuffix = ", including USPS EAN128";

// ---------------------------------------------------------------------------
// AI 80xx by xx.

enum class RollKind : uint8_t {
    kLayout,
    kPrice,  // six digits at p + 4 with two decimals
};

struct RollRow {
    int selector;
    std::string_view title;
    RollKind kind;
    Layout layout;
    int next;
    char fifth = kNoByte;  // the byte required at p + 4
};

constexpr RollRow kRollRows[] = {
    {1, "Roll Product Dimensions", RollKind::kLayout, kRoll, 18},
    {2, "Cellular Phone Electronic Serial Number (ESN)", RollKind::kLayout, kEsn, 24},
    {3, "Returnable Asset Identification", RollKind::kLayout, kAssetType, 33, '0'},
    {4, "Returnable Asset Identification", RollKind::kLayout, kAssetSerial, 34},
    {5, "Price per Unit", RollKind::kPrice, {}, 10},
};

constexpr int kPriceOffset = 4;
constexpr int kPriceDigits = 6;
constexpr int kPriceDecimals = 2;

struct Winding {
    char digit;
    std::string_view text;
};

constexpr Winding kWindings[] = {{'0', "Face out"}, {'1', "Face in"}};
constexpr std::string_view kUnknownWinding = "Unknown";

// ---------------------------------------------------------------------------
// AI 81xx by xx; `next` is the position after the coupon itself (before an
// FNC1 and a household ID).

struct CouponRow {
    int selector;
    Layout layout;
    int next;
};

constexpr CouponRow kCouponRows[] = {
    {0, kCoupon, 10},
    {1, kCouponExpiring, 14},
    {2, kNullCoupon, 6},
};

}  // namespace zeph::gs1
