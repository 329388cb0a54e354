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

}  // namespace
