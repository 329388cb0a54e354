#include "engine/descriptors/ean_upc_descriptor.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/descriptors/digit_text.h"

namespace {

using namespace zeph::descriptors;

bool AllDigits(std::span<const BestMatch> reading, size_t first, size_t last) {
    for (size_t i = first; i < last; ++i) {
        if (DigitAt(reading, i) < 0) return false;
    }
    return true;
}

// The 3-digit GS1 prefix, or -1 when one of its digits is unreadable (no row
// covers -1, so such a reading is "Unspecified").
int PrefixOf(std::span<const BestMatch> reading) {
    if (!AllDigits(reading, 0, 3)) return -1;
    return 100 * DigitAt(reading, 0) + 10 * DigitAt(reading, 1) + DigitAt(reading, 2);
}

// ---------------------------------------------------------------------------
// Prefix tables

enum class Form : uint8_t {
    kCountry,  // descriptor is "Product Identifier - " + name
    kNamed,    // descriptor is the name itself
    kJan13,    // named, and the symbol is reported as JAN-13
    kIsbn,     // named, data in book number form
    kIsmn,     // named, data in music number form
};

struct PrefixRow {
    int first = 0;
    int last = 0;
    std::string_view name;
    int group = 0;  // leading digits set apart in parentheses
    Form form = Form::kNamed;
};

constexpr PrefixRow kUnspecified{0, -1, "Unspecified", 0, Form::kNamed};

constexpr PrefixRow Country(int first, int last, std::string_view name, int group) {
    return {first, last, name, group, Form::kCountry};
}
constexpr PrefixRow Named(int first, int last, std::string_view name, int group,
                          Form form = Form::kNamed) {
    return {first, last, name, group, form};
}

// Rows both EAN-13 and EAN-8 share: everything from 140 upwards except the
// book and music prefixes, whose meaning differs between the two.
constexpr std::array kSharedPrefixes = {
    Named(200, 299, "In-Store Functions", 2),
    Country(300, 379, "France", 2),
    Country(400, 449, "Germany", 2),
    Country(450, 459, "Japan", 2),
    Country(460, 469, "Russian Federation", 2),
    Country(471, 471, "Taiwan", 3),
    Country(474, 474, "Estonia", 3),
    Country(475, 475, "Latvia", 3),
    Country(477, 477, "Lithuania", 3),
    Country(479, 479, "Sri Lanka", 3),
    Country(480, 480, "Philippines", 3),
    Country(482, 482, "Ukraine", 3),
    Country(484, 484, "Moldova", 3),
    Country(485, 485, "Armenia", 3),
    Country(486, 486, "Georgia", 3),
    Country(487, 487, "Kazakhstan", 3),
    Country(489, 489, "Hong Kong", 3),
    Named(490, 499, "Japan", 2, Form::kJan13),
    Country(500, 509, "United Kingdom", 2),
    Country(520, 520, "Greece", 3),
    Country(528, 528, "Lebanon", 3),
    Country(529, 529, "Cyprus", 3),
    Country(531, 531, "Macedonia", 3),
    Country(535, 535, "Malta", 3),
    Country(539, 539, "Ireland", 3),
    Country(540, 549, "Belgium and Luxembourg", 2),
    Country(560, 560, "Portugal", 3),
    Country(569, 569, "Iceland", 3),
    Country(570, 579, "Denmark", 2),
    Country(590, 590, "Poland", 3),
    Country(594, 594, "Romania", 3),
    Country(599, 599, "Hungary", 3),
    Country(600, 601, "South Africa", 3),
    Country(609, 609, "Mauritius", 3),
    Country(611, 611, "Morocco", 3),
    Country(613, 613, "Algeria", 3),
    Country(619, 619, "Tunisia", 3),
    Country(622, 622, "Egypt", 3),
    Country(625, 625, "Jordan", 3),
    Country(626, 626, "Iran", 3),
    Country(640, 649, "Finland", 2),
    Country(690, 692, "China", 3),
    Country(700, 709, "Norway", 2),
    Country(729, 729, "Israel", 3),
    Country(730, 739, "Sweden", 2),
    Country(740, 740, "Guatemala", 3),
    Country(741, 741, "El Salvador", 3),
    Country(742, 742, "Honduras", 3),
    Country(743, 743, "Nicaragua", 3),
    Country(744, 744, "Costa Rica", 3),
    Country(746, 746, "Dominican Republic", 3),
    Country(750, 750, "Mexico", 3),
    Country(759, 759, "Venezuela", 3),
    Country(760, 769, "Switzerland", 2),
    Country(770, 770, "Colombia", 3),
    Country(773, 773, "Uruguay", 3),
    Country(775, 775, "Peru", 3),
    Country(777, 777, "Bolivia", 3),
    Country(779, 779, "Argentina", 3),
    Country(780, 780, "Chile", 3),
    Country(784, 784, "Paraguay", 3),
    Country(785, 785, "Peru", 3),
    Country(786, 786, "Ecuador", 3),
    Country(789, 789, "Brazil", 3),
    Country(800, 839, "Italy", 2),
    Country(840, 849, "Spain", 2),
    Country(850, 850, "Cuba", 3),
    Country(858, 858, "Slovakia", 3),
    Country(859, 859, "Czech Republic", 3),
    Country(860, 860, "Yugloslavia", 3),
    Country(869, 869, "Turkey", 3),
    Country(870, 879, "Netherlands", 2),
    Country(880, 880, "South Korea", 3),
    Country(885, 885, "Thailand", 3),
    Country(888, 888, "Singapore", 3),
    Country(890, 890, "India", 3),
    Country(893, 893, "Vietnam", 3),
    Country(899, 899, "Indonesia", 3),
    Country(900, 919, "Austria", 2),
    Country(930, 939, "Australia", 2),
    Country(940, 949, "New Zealand", 2),
    Country(955, 955, "Malaysia", 3),
    Named(977, 977, "ISSN (International Periodical Serial Number)", 3),
    Named(980, 980, "Refund receipt", 3),
    Named(981, 982, "Common currency coupon", 3),
    Named(990, 999, "Coupon", 2),
};

// Below 100 an EAN-13 is a UPC-A number and never reaches the table. The group
// of 978/979 applies only when a digit is unreadable and the book or music
// form cannot be built.
constexpr std::array kEan13OwnPrefixes = {
    Country(100, 139, "USA and Canada", 2),
    Named(978, 978, "International Book Serial Number", 3, Form::kIsbn),
    Named(979, 979, "International Music Serial Number", 3, Form::kIsmn),
};

constexpr std::array kEan8OwnPrefixes = {
    Country(0, 139, "USA and Canada", 2),
    Named(978, 978, "ISBN (International Book Serial Number)", 3),
    Named(979, 979, "ISMN (International Music Serial Number)", 3),
};

// One table ordered by prefix, from two ordered tables.
template <size_t N, size_t M>
constexpr std::array<PrefixRow, N + M> MergeRows(const std::array<PrefixRow, N>& a,
                                                 const std::array<PrefixRow, M>& b) {
    std::array<PrefixRow, N + M> out{};
    size_t i = 0, j = 0;
    for (PrefixRow& row : out) {
        row = (j == M || (i < N && a[i].first < b[j].first)) ? a[i++] : b[j++];
    }
    return out;
}

template <size_t N>
constexpr bool OrderedAndDisjoint(const std::array<PrefixRow, N>& rows) {
    for (size_t i = 0; i < N; ++i) {
        if (rows[i].first > rows[i].last) return false;
        if (i > 0 && rows[i - 1].last >= rows[i].first) return false;
    }
    return true;
}

constexpr auto kEan13Prefixes = MergeRows(kEan13OwnPrefixes, kSharedPrefixes);
constexpr auto kEan8Prefixes = MergeRows(kEan8OwnPrefixes, kSharedPrefixes);
static_assert(OrderedAndDisjoint(kEan13Prefixes));
static_assert(OrderedAndDisjoint(kEan8Prefixes));

const PrefixRow& FindPrefix(std::span<const PrefixRow> rows, int prefix) {
    for (const PrefixRow& row : rows) {
        if (prefix >= row.first && prefix <= row.last) return row;
    }
    return kUnspecified;
}

void WriteDescriptor(std::span<char> field, const PrefixRow& row) {
    XR_SetText(field, row.form == Form::kCountry ? "Product Identifier - " : "");
    XR_AppendText(field, row.name);
}

// "(" + the first `group` digits + ") " + the rest up to `end`; no parentheses
// for group 0.
void WriteGrouped(std::span<char> field, std::span<const BestMatch> reading, int group,
                  size_t end) {
    const auto g = static_cast<size_t>(group);
    XR_SetText(field, "");
    if (g > 0) {
        XR_AppendText(field, "(");
        AppendDigits(field, reading, 0, g);
        XR_AppendText(field, ") ");
    }
    AppendDigits(field, reading, g, end);
}

// ---------------------------------------------------------------------------
// UPC number systems

constexpr std::string_view kRegularUpc = "Regular UPC code - USA and Canada";
constexpr std::string_view kReservedUpc = "Reserved - USA and Canada";

constexpr std::array<std::string_view, 10> kNumberSystems = {
    kRegularUpc,
    kReservedUpc,
    "Weight item - USA and Canada",
    "National Drug/Health-related code - USA and Canada",
    "In-store use on non-food items - USA and Canada",
    "Coupon - USA and Canada",
    kRegularUpc,
    kRegularUpc,
    kReservedUpc,
    kReservedUpc,
};

// "(NSC n) Manufacturer: " + 5 digits from `first` + "; Product: " + the next 5.
template <typename Digits>
void WriteRegularUpc(std::span<char> field, int system, Digits digits, size_t first) {
    XR_SetText(field, "(NSC ");
    AppendChar(field, DigitChar(system));
    XR_AppendText(field, ") Manufacturer: ");
    AppendDigits(field, digits, first, first + 5);
    XR_AppendText(field, "; Product: ");
    AppendDigits(field, digits, first + 5, first + 10);
}

void DescribeUpcA(std::span<const BestMatch> reading, MatchRecord& record) {
    // The prefix was readable, so the number system digit is 0..9.
    const int system = DigitAt(reading, 1);
    XR_SetText(record.barcodeType, "UPC-A");
    XR_SetText(record.descriptor, kNumberSystems[static_cast<size_t>(system)]);
    if (system != 5) {
        WriteRegularUpc(record.data, system, reading, 2);
        return;
    }
    XR_SetText(record.data, "Manufacturer: ");
    AppendDigits(record.data, reading, 2, 7);
    XR_AppendText(record.data, "; Family code: ");
    AppendDigits(record.data, reading, 7, 10);
    XR_AppendText(record.data, "; Value code: ");
    AppendDigits(record.data, reading, 10, 12);
}

// ---------------------------------------------------------------------------
// Book and music numbers

// Publisher length by the two digits after the group: the first row whose
// bound is not below them.
struct PublisherLength {
    int upTo;
    size_t length;
};

constexpr std::array<PublisherLength, 6> kIsbnPublisherLengths = {{
    {19, 2},
    {69, 3},
    {84, 4},
    {89, 5},
    {94, 6},
    {99, 7},
}};

constexpr std::array<PublisherLength, 5> kIsmnPublisherLengths = {{
    {9, 3},
    {39, 4},
    {69, 5},
    {89, 6},
    {99, 7},
}};

size_t PublisherLengthOf(std::span<const PublisherLength> rows,
                         std::span<const BestMatch> reading) {
    const int v = 10 * DigitAt(reading, 4) + DigitAt(reading, 5);
    for (const PublisherLength& row : rows) {
        if (v <= row.upTo) return row.length;
    }
    return rows.back().length;
}

// Publisher digits, "-", the title digits up to d11, "-"; both forms share it.
void AppendPublisherAndTitle(std::span<char> field, std::span<const BestMatch> reading,
                             size_t publisherLength) {
    AppendDigits(field, reading, 4, 4 + publisherLength);
    XR_AppendText(field, "-");
    AppendDigits(field, reading, 4 + publisherLength, 12);
    XR_AppendText(field, "-");
}

// The 10-digit book number's own check character: weights 10 down to 2 over
// d3..d11, modulo 11.
char IsbnCheckChar(std::span<const BestMatch> reading) {
    constexpr std::string_view kCheckChars = "0X987654321";
    int sum = 0;
    for (size_t i = 3; i <= 11; ++i)
        sum += static_cast<int>(13 - i) * DigitAt(reading, i);
    return kCheckChars[static_cast<size_t>(sum % 11)];
}

void WriteIsbn(std::span<char> field, std::span<const BestMatch> reading) {
    XR_SetText(field, "ISBN ");
    AppendDigits(field, reading, 3, 4);
    XR_AppendText(field, "-");
    AppendPublisherAndTitle(field, reading, PublisherLengthOf(kIsbnPublisherLengths, reading));
    AppendChar(field, IsbnCheckChar(reading));
}

// The music number drops d3 for the letter M and keeps the EAN check digit.
void WriteIsmn(std::span<char> field, std::span<const BestMatch> reading) {
    XR_SetText(field, "ISMN M-");
    AppendPublisherAndTitle(field, reading, PublisherLengthOf(kIsmnPublisherLengths, reading));
    AppendDigits(field, reading, 12, 13);
}

}  // namespace

void XR_DescribeEan13(std::span<const BestMatch> reading, MatchRecord& record) {
    SetDigits(record.rawData, reading, 0, 13);
    XR_SetText(record.symbology, "EAN-13");
    XR_SetText(record.barcodeType, "EAN-13");
    XR_SetText(record.data, "");

    const int prefix = PrefixOf(reading);
    if (prefix >= 0 && prefix < 100) {
        DescribeUpcA(reading, record);
        return;
    }
    const PrefixRow& row = FindPrefix(kEan13Prefixes, prefix);
    WriteDescriptor(record.descriptor, row);
    if (row.form == Form::kJan13) XR_SetText(record.barcodeType, "JAN-13");

    // Both special forms do arithmetic on the digits, so they need all of them.
    const bool readable = AllDigits(reading, 3, 13);
    if (row.form == Form::kIsbn && readable) {
        WriteIsbn(record.data, reading);
    } else if (row.form == Form::kIsmn && readable) {
        WriteIsmn(record.data, reading);
    } else {
        WriteGrouped(record.data, reading, row.group, 12);  // check digit left out
    }
}

void XR_DescribeEan8(std::span<const BestMatch> reading, MatchRecord& record) {
    SetDigits(record.rawData, reading, 0, 8);
    XR_SetText(record.symbology, "EAN-8");
    XR_SetText(record.barcodeType, "Generic");
    const PrefixRow& row = FindPrefix(kEan8Prefixes, PrefixOf(reading));
    WriteDescriptor(record.descriptor, row);
    WriteGrouped(record.data, reading, row.group, 8);  // check digit included
}

void XR_DescribeUpcE(std::span<const BestMatch> reading, std::span<const int> expansion,
                     MatchRecord& record) {
    const int system = DigitAt(reading, 0);
    SetDigits(record.rawData, reading, 0, 8);
    XR_SetText(record.symbology, "UPC-E");
    XR_SetText(record.barcodeType, "Generic");
    XR_SetText(record.descriptor, system == 0 ? kRegularUpc : kReservedUpc);
    WriteRegularUpc(record.data, system, expansion, 1);
}
