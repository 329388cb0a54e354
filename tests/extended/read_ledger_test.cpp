// The evidence the extended search's ledger asks of a read that nothing
// protects: the same text on two lines that share no pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/extended/read_ledger.h"
#include "engine/reader.h"

namespace {

using zeph::extended::LineRead;
using zeph::extended::ReadLedger;

// A Codabar read (no check character) on the level line at row y.
LineRead CodabarAt(int32_t y) {
    LineRead read;
    std::strncpy(read.record.symbology.data(), "CODABAR", read.record.symbology.size() - 1);
    std::strncpy(read.record.rawData.data(), "A3419500A", read.record.rawData.size() - 1);
    read.record.confidence = 0.9f;
    read.record.startX = 10;
    read.record.stopX = 290;
    read.record.centreX = 150;
    read.record.startY = read.record.stopY = read.record.centreY = y;
    read.quiet = {10, 10, false, false};
    read.pathCount = 9;
    read.bars = 36;
    read.variant = zeph::extended::LineOptions::kPlain;
    return read;
}

// An EAN-13 read on the level line at row y; from the grey profile when
// `profile`.
LineRead EanAt(int32_t y, const char* text, float confidence, bool profile) {
    LineRead read = CodabarAt(y);
    read.record.symbology = {};
    read.record.rawData = {};
    std::strncpy(read.record.symbology.data(), "EAN-13", read.record.symbology.size() - 1);
    std::strncpy(read.record.rawData.data(), text, read.record.rawData.size() - 1);
    read.record.confidence = confidence;
    read.bars = 30;
    read.fromProfile = profile;
    return read;
}

int Reported(const ReadLedger& ledger) {
    std::vector<MatchRecord> records(4);
    return ledger.AppendTo(records, 0, 4);
}

TEST(ReadLedger, LinesThatShareTheirPathsAreNoPair) {
    ReadLedger ledger;
    ledger.Add(CodabarAt(100), 1);
    ledger.Add(CodabarAt(106), 2);  // nine paths: the lines overlap
    EXPECT_FALSE(ledger.AnyAccepted());
    EXPECT_EQ(Reported(ledger), 0);
}

TEST(ReadLedger, ANewLineIsPairedWithAnyKeptLine) {
    // The second and third lines each overlap the first, but not each other:
    // they are a pair the first line does not stand in.
    ReadLedger ledger;
    ledger.Add(CodabarAt(100), 1);
    ledger.Add(CodabarAt(92), 2);
    EXPECT_FALSE(ledger.AnyAccepted());
    ledger.Add(CodabarAt(108), 3);
    EXPECT_TRUE(ledger.AnyAccepted());
    EXPECT_EQ(Reported(ledger), 1);
}

TEST(ReadLedger, OneLineTwiceIsNoPair) {
    ReadLedger ledger;
    ledger.Add(CodabarAt(100), 1);
    ledger.Add(CodabarAt(100), 1);
    ledger.Add(CodabarAt(101), 2);
    EXPECT_FALSE(ledger.AnyAccepted());
}

// Reads from the grey profile need two independent lines, never displace a
// template read of their text, and are dropped where a kept record or an
// accepted read holds another text at their place.
TEST(ReadLedger, ProfileReadsStandBehindTemplateReads) {
    ReadLedger alone;
    alone.AddProfileRead(EanAt(100, "5901234123457", 0.9f, true), 1, {});
    EXPECT_FALSE(alone.AnyAccepted());
    alone.AddProfileRead(EanAt(120, "5901234123457", 0.88f, true), 2, {});
    ASSERT_TRUE(alone.AnyAccepted());
    EXPECT_EQ(alone.Accepted(0).startY, 100);  // the more confident of the two

    ReadLedger behind;
    behind.Add(EanAt(100, "5901234123457", 0.82f, false), 1);
    ASSERT_TRUE(behind.AnyAccepted());
    behind.AddProfileRead(EanAt(120, "5901234123457", 0.97f, true), 2, {});
    behind.AddProfileRead(EanAt(140, "5901234123457", 0.97f, true), 3, {});
    EXPECT_EQ(behind.Accepted(0).startY, 100);
    EXPECT_FLOAT_EQ(behind.Accepted(0).confidence, 0.82f);

    behind.AddProfileRead(EanAt(110, "4006381333931", 0.95f, true), 4, {});
    behind.AddProfileRead(EanAt(130, "4006381333931", 0.95f, true), 5, {});
    EXPECT_EQ(behind.AcceptedCount(), 1u);

    ReadLedger beside;
    const MatchRecord kept = EanAt(100, "4006381333931", 0.9f, false).record;
    beside.AddProfileRead(EanAt(110, "5901234123457", 0.95f, true), 1, {&kept, 1});
    beside.AddProfileRead(EanAt(130, "5901234123457", 0.95f, true), 2, {&kept, 1});
    EXPECT_FALSE(beside.AnyAccepted());
    // Elsewhere in the picture the same reads stand.
    const MatchRecord far = EanAt(900, "4006381333931", 0.9f, false).record;
    beside.AddProfileRead(EanAt(110, "5901234123457", 0.95f, true), 3, {&far, 1});
    beside.AddProfileRead(EanAt(130, "5901234123457", 0.95f, true), 4, {&far, 1});
    EXPECT_TRUE(beside.AnyAccepted());
}

// Two texts read on one symbol's bars, their lines too far apart for one
// place (the same rows of a tall symbol, say): the text of fewer lines is
// withdrawn, both where their lines are as many, and a read beside a kept
// record of another text; a read with the add-on the kept record lacks stays.
TEST(ReadLedger, TextsOnTheSameBarsAreContestedAcrossTheirLines) {
    const auto sameBars = [](const MatchRecord&, const MatchRecord&) { return true; };
    const auto otherBars = [](const MatchRecord&, const MatchRecord&) { return false; };
    const auto twoTexts = [](int secondLines) {
        ReadLedger ledger;
        ledger.Add(EanAt(20, "5901234123457", 0.95f, false), 1);
        ledger.Add(EanAt(30, "5901234123457", 0.95f, false), 2);
        for (int k = 0; k < secondLines; ++k)
            ledger.Add(EanAt(200 + 10 * k, "4006381333931", 0.97f, false), 3 + k);
        return ledger;
    };
    ReadLedger apart = twoTexts(1);
    ASSERT_EQ(Reported(apart), 2);  // not one place by the lines alone
    apart.WithdrawContested(otherBars, {});
    EXPECT_EQ(Reported(apart), 2);

    ReadLedger fewer = twoTexts(1);
    fewer.WithdrawContested(sameBars, {});
    std::vector<MatchRecord> records(4);
    ASSERT_EQ(fewer.AppendTo(records, 0, 4), 1);
    EXPECT_STREQ(records[0].rawData.data(), "5901234123457");

    ReadLedger tied = twoTexts(2);
    tied.WithdrawContested(sameBars, {});
    EXPECT_EQ(Reported(tied), 0);

    MatchRecord kept = EanAt(100, "4006381333931", 0.9f, false).record;
    ReadLedger beside;
    beside.Add(EanAt(20, "5901234123457", 0.95f, false), 1);
    beside.Add(EanAt(30, "5901234123457 + 12", 0.95f, false), 2);
    beside.WithdrawContested(sameBars, {&kept, 1});
    EXPECT_EQ(Reported(beside), 0);
    kept = EanAt(100, "5901234123457", 0.9f, false).record;
    ReadLedger completing;
    completing.Add(EanAt(30, "5901234123457 + 12", 0.95f, false), 1);
    completing.WithdrawContested(sameBars, {&kept, 1});
    EXPECT_EQ(Reported(completing), 1);
}

}  // namespace
