#include "engine/descriptors/ucc_ean128_descriptor.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <system_error>

#include "engine/descriptors/ucc_ean128_tables.h"

namespace {

using namespace zeph::gs1;

// ---------------------------------------------------------------------------
// Bytes and numbers

// Function characters (0xFC to 0xFF) and every other byte from 0x80 end a field.
bool EndsField(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number of bytes of s that belong to a field of at most `length` bytes.
size_t FieldLength(const char* s, int length) {
    size_t n = 0;
    while (static_cast<int>(n) < length && s[n] != '\0' && !EndsField(s[n]))
        ++n;
    return n;
}

// Numbers are printed by std::to_chars, which ignores the C locale.
constexpr size_t kNumberWidth = 48;

std::string_view FormatInt(int value, std::span<char, kNumberWidth> out) {
    const auto [end, ec] = std::to_chars(out.data(), out.data() + out.size(), value);
    if (ec != std::errc{}) return {};
    return {out.data(), static_cast<size_t>(end - out.data())};
}

// As "%.<decimals>f" would print it.
std::string_view FormatFixed(double value, int decimals, std::span<char, kNumberWidth> out) {
    const auto [end, ec] = std::to_chars(out.data(), out.data() + out.size(), value,
                                         std::chars_format::fixed, decimals);
    if (ec != std::errc{}) return {};
    return {out.data(), static_cast<size_t>(end - out.data())};
}

// ---------------------------------------------------------------------------
// The walk over one text

constexpr size_t kTextWidth = kRawDataWidth + 1;
constexpr int kMeasureDecimalsOffset = 3;
constexpr int kMeasureQuantityOffset = 2;
constexpr std::string_view kSeparator = "; ";

enum class Step : uint8_t {
    kNext,  // go on at `next`
    kEnd,   // the chain ends here: return 1
    kStop,  // reading stops: return 0
};

struct Outcome {
    Step step = Step::kStop;
    size_t next = 0;
};

constexpr Outcome kStop{Step::kStop, 0};
constexpr Outcome kEnd{Step::kEnd, 0};

Outcome Next(size_t p) {
    return {Step::kNext, p};
}

// Positions past the end of the text are allowed (fixed-length fields move the
// read position by their full length) but are never read: they all stand for
// the terminator.
class Walk {
  public:
    explicit Walk(MatchRecord& record) : record_(record) {
        const std::string_view raw = XR_TextOf(record.rawData);
        std::copy(raw.begin(), raw.end(), text_.begin());
        end_ = raw.size();
        text_[end_] = '\0';
    }

    size_t End() const { return end_; }
    const char* At(size_t pos) const { return text_.data() + std::min(pos, end_); }
    char ByteAt(size_t pos) const { return pos < end_ ? text_[pos] : '\0'; }

    // Two decimal digits at pos, or -1.
    int TwoDigits(size_t pos) const {
        const char a = ByteAt(pos);
        const char b = ByteAt(pos + 1);
        if (!IsDigit(a) || !IsDigit(b)) return -1;
        return 10 * (a - '0') + (b - '0');
    }

    void Title(std::string_view title) { XR_AppendText(record_.descriptor, title); }
    void Value(std::string_view value) { XR_AppendText(record_.data, value); }

    void Field(size_t pos, int length) { Value(XR_FieldText(At(pos), length)); }

    void Pieces(zeph::gs1::Layout layout, size_t base) {
        for (const Piece& piece : layout) {
            Value(piece.literal);
            if (piece.kind == PieceKind::kWinding) {
                Value(WindingText(ByteAt(base + static_cast<size_t>(piece.offset))));
            } else if (piece.length > 0) {
                Field(base + static_cast<size_t>(piece.offset), piece.length);
            }
        }
    }

    // The rest of the text from pos, function bytes included.
    void Rest(size_t pos) {
        const char* from = At(pos);
        Value({from, static_cast<size_t>(At(end_) - from)});
    }

  private:
    static std::string_view WindingText(char c) {
        for (const Winding& w : kWindings) {
            if (w.digit == c) return w.text;
        }
        return kUnknownWinding;
    }

    MatchRecord& record_;
    std::array<char, kTextWidth> text_{};
    size_t end_ = 0;
};

const AiRow* FindAi(int ai) {
    for (const AiRow& row : kAiRows) {
        if (ai >= row.first && ai <= row.last) return &row;
    }
    return nullptr;
}

std::string_view PackagingText(char digit) {
    for (const Packaging& packaging : kPackagings) {
        if (packaging.digit == digit) return packaging.text;
    }
    return kUndefinedPackaging;
}

Outcome DescribeMeasure(Walk& walk, const AiRow& row, int ai, size_t p) {
    const char n = walk.ByteAt(p + kMeasureQuantityOffset);
    const char d = walk.ByteAt(p + kMeasureDecimalsOffset);
    if (!IsDigit(n) || !IsDigit(d)) return kStop;
    const Measure& measure =
        kMeasures[static_cast<size_t>(ai - kFirstMeasureAi)][static_cast<size_t>(n - '0')];
    if (measure.title.empty()) return kStop;
    std::array<char, kNumberWidth> number{};
    const double value = XR_DecimalValue(walk.At(p + kMeasureValueOffset), kMeasureDigits, d - '0');
    walk.Title(measure.title);
    walk.Value(FormatFixed(value, 6, number));
    walk.Value(measure.unit);
    return Next(p + static_cast<size_t>(row.next));
}

Outcome DescribeCount(Walk& walk, const AiRow& row, size_t p) {
    // The count is variable in length and the last AI of a symbol has no FNC1
    // after it: its digits are read up to the end of the text. A count that
    // has no digits at all reads as the full eight.
    const char* digits = walk.At(p + kCountOffset);
    const int count = static_cast<int>(FieldLength(digits, kCountDigits));
    std::array<char, kNumberWidth> number{};
    walk.Title(row.title);
    walk.Value(FormatInt(XR_ReadDigits(digits, count > 0 ? count : kCountDigits), number));
    return Next(p + static_cast<size_t>(row.next));
}

Outcome DescribeLocation(Walk& walk, const AiRow& row, size_t p) {
    const char x = walk.ByteAt(p + 2);
    if (x < '0' || x >= '0' + static_cast<int>(kLocationTitles.size())) return kStop;
    walk.Title(kLocationTitles[static_cast<size_t>(x - '0')]);
    walk.Pieces(row.layout, p);
    return Next(p + static_cast<size_t>(row.next));
}

// AI 42x runs to the next function character; an FNC1 there may introduce the
// USPS data of AI 91, which then belongs to this location.
Outcome DescribePostal(Walk& walk, const AiRow& row, size_t p) {
    const char x = walk.ByteAt(p + 2);
    const Postal* postal = nullptr;
    for (const Postal& candidate : kPostals) {
        if (candidate.third == x) postal = &candidate;
    }
    if (postal == nullptr) return kStop;
    walk.Title(row.title);
    walk.Pieces(postal->layout, p);

    size_t q = p + 2;
    while (q < walk.End() && !EndsField(walk.ByteAt(q)))
        ++q;
    if (walk.ByteAt(q) == kFnc1Byte && walk.TwoDigits(q + 1) == kUspsAi) {
        walk.Title(kUspsTitleSuffix);
        walk.Value(kSeparator);
        walk.Pieces(kUsps, q + 1);
        return Next(q + 1 + kUspsNext);
    }
    return Next(q);
}

Outcome DescribeRoll(Walk& walk, size_t p) {
    const int selector = walk.TwoDigits(p + 2);
    for (const RollRow& row : kRollRows) {
        if (row.selector != selector) continue;
        if (row.fifth != kNoByte && walk.ByteAt(p + 4) != row.fifth) return kStop;
        walk.Title(row.title);
        if (row.kind == RollKind::kPrice) {
            std::array<char, kNumberWidth> number{};
            const double price =
                XR_DecimalValue(walk.At(p + kPriceOffset), kPriceDigits, kPriceDecimals);
            walk.Value(FormatFixed(price, kPriceDecimals, number));
        } else {
            walk.Pieces(row.layout, p);
        }
        return Next(p + static_cast<size_t>(row.next));
    }
    return kStop;
}

Outcome DescribeCoupon(Walk& walk, const AiRow& row, size_t p) {
    const int selector = walk.TwoDigits(p + 2);
    for (const CouponRow& coupon : kCouponRows) {
        if (coupon.selector != selector) continue;
        walk.Pieces(coupon.layout, p);
        const size_t q = p + static_cast<size_t>(coupon.next);
        size_t next = q;
        if (walk.ByteAt(q) == kFnc1Byte) {
            next = q + 1;
            if (walk.TwoDigits(q + 1) == kHouseholdAi) {
                walk.Pieces(kHousehold, q);
                next = q + kHouseholdNext;
            }
        }
        walk.Title(row.title);
        return Next(next);
    }
    return kStop;
}

Outcome DescribeAi(Walk& walk, const AiRow& row, int ai, size_t p) {
    if (row.third != kNoByte && walk.ByteAt(p + 2) != row.third) return kStop;
    const size_t next = p + static_cast<size_t>(row.next);
    switch (row.kind) {
        case AiKind::kField:
            walk.Title(row.title);
            walk.Pieces(row.layout, p);
            return Next(next);
        case AiKind::kPackaging:
            walk.Title(row.title);
            walk.Value(PackagingText(walk.ByteAt(p + 2)));
            walk.Pieces(row.layout, p);
            return Next(next);
        case AiKind::kDate:
            walk.Title(row.title);
            walk.Value(XR_FormatDate(walk.At(p + 2)));
            return Next(next);
        case AiKind::kMeasure:
            return DescribeMeasure(walk, row, ai, p);
        case AiKind::kCount:
            return DescribeCount(walk, row, p);
        case AiKind::kLocation:
            return DescribeLocation(walk, row, p);
        case AiKind::kPostal:
            return DescribePostal(walk, row, p);
        case AiKind::kRoll:
            return DescribeRoll(walk, p);
        case AiKind::kCoupon:
            return DescribeCoupon(walk, row, p);
        case AiKind::kRest:
            walk.Title(row.title);
            walk.Rest(p + 2);
            return kEnd;
        case AiKind::kUsps:
            walk.Title(row.title);
            walk.Pieces(row.layout, p);
            return Next(next);
    }
    return kStop;
}

// Field texts are cut to fit this buffer with their terminator; the longest
// field of the AI table is 30 bytes.
constexpr size_t kFieldBufferWidth = 100;
constexpr std::string_view kBadDate = "<bad date format>";
constexpr int kYearPivot = 51;

}  // namespace

int XR_ReadDigits(const char* s, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = s[i];
        if (EndsField(c)) return value;
        if (!IsDigit(c)) return -1;
        const int digit = c - '0';
        // More digits than an int holds are no value either.
        if (value > (INT_MAX - digit) / 10) return -1;
        value = 10 * value + digit;
    }
    return value;
}

std::string_view XR_FieldText(const char* s, int length) {
    thread_local std::array<char, kFieldBufferWidth> field{};
    const size_t n = FieldLength(s, std::min(length, static_cast<int>(kFieldBufferWidth) - 1));
    std::copy(s, s + n, field.begin());
    field[n] = '\0';
    return {field.data(), n};
}

double XR_DecimalValue(const char* s, int count, int decimals) {
    const int value = XR_ReadDigits(s, count);
    if (value < 0) return -1.0;
    // The value times 0.1 to the power of the decimals, as the texts have
    // always been printed: for seven to nine decimals this rounds differently
    // from a division by the power of ten (5 x 0.1^7 prints as 0.000001).
    return value * std::pow(0.1, decimals);
}

std::string_view XR_FormatDate(const char* s) {
    thread_local std::array<char, 32> date{};
    if (FieldLength(s, 6) < 6) return kBadDate;
    std::array<int, 3> pair{};  // YY, MM, DD
    for (size_t i = 0; i < pair.size(); ++i) {
        const char a = s[2 * i];
        const char b = s[2 * i + 1];
        if (!IsDigit(a) || !IsDigit(b)) return kBadDate;
        pair[i] = 10 * (a - '0') + (b - '0');
    }
    const int year = pair[0] < kYearPivot ? 2000 + pair[0] : 1900 + pair[0];
    // Month, day and year; a day of 00 stands for the whole month.
    char* out = date.data();
    char* const last = date.data() + date.size() - 1;
    out = std::to_chars(out, last, pair[1]).ptr;
    *out++ = '/';
    if (pair[2] != 0) {
        out = std::to_chars(out, last, pair[2]).ptr;
        *out++ = '/';
    }
    out = std::to_chars(out, last, year).ptr;
    *out = '\0';
    return {date.data(), static_cast<size_t>(out - date.data())};
}

int XR_DescribeUccEan128(MatchRecord& record) {
    Walk walk(record);
    if (walk.ByteAt(0) != kFnc1Byte) return 0;
    XR_SetText(record.data, "");
    XR_SetText(record.descriptor, "");
    XR_SetText(record.barcodeType, "UCC/EAN-128");

    size_t p = 0;
    for (;;) {
        if (walk.ByteAt(p) == kFnc1Byte) ++p;
        // Only two digits make an AI: a function character where one is
        // expected ends the chain.
        const int ai = walk.TwoDigits(p);
        const AiRow* row = ai < 0 ? nullptr : FindAi(ai);
        if (row == nullptr) return 0;
        const Outcome outcome = DescribeAi(walk, *row, ai, p);
        if (outcome.step == Step::kStop) return 0;
        if (outcome.step == Step::kEnd) return 1;
        p = outcome.next;
        if (p >= walk.End()) return 1;
        walk.Title(kSeparator);
        walk.Value(kSeparator);
    }
}
