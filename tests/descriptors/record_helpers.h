// Shared pieces of the descriptor tests: readings from digit strings and
// checks on the texts a descriptor writes.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"

namespace zeph::test {

inline std::vector<BestMatch> Reading(std::string_view digits) {
    std::vector<BestMatch> reading;
    for (const char c : digits)
        reading.push_back({c - '0', 0.9f});
    return reading;
}

template <size_t N>
std::string Text(const std::array<char, N>& field) {
    return std::string(XR_TextOf(field));
}

template <size_t N>
bool Terminated(const std::array<char, N>& field) {
    return XR_TextOf(field).size() < N;
}

// A record full of leftovers of an earlier match, none terminated: every text
// must be written from scratch.
inline MatchRecord StaleRecord() {
    MatchRecord record;
    record.rawData.fill('x');
    record.data.fill('x');
    record.symbology.fill('x');
    record.barcodeType.fill('x');
    record.descriptor.fill('x');
    record.confidence = 0.93f;
    record.redundancy = 7.5f;
    record.startX = 11;
    record.startY = 12;
    record.stopX = 13;
    record.stopY = 14;
    record.centreX = 15;
    record.centreY = 16;
    return record;
}

struct Texts {
    std::string rawData;
    std::string data;
    std::string symbology;
    std::string barcodeType;
    std::string descriptor;
};

inline void ExpectTexts(const MatchRecord& record, const Texts& expected) {
    EXPECT_EQ(Text(record.rawData), expected.rawData);
    EXPECT_EQ(Text(record.data), expected.data);
    EXPECT_EQ(Text(record.symbology), expected.symbology);
    EXPECT_EQ(Text(record.barcodeType), expected.barcodeType);
    EXPECT_EQ(Text(record.descriptor), expected.descriptor);
}

inline void ExpectAllTerminated(const MatchRecord& record) {
    EXPECT_TRUE(Terminated(record.rawData));
    EXPECT_TRUE(Terminated(record.data));
    EXPECT_TRUE(Terminated(record.symbology));
    EXPECT_TRUE(Terminated(record.barcodeType));
    EXPECT_TRUE(Terminated(record.descriptor));
}

}  // namespace zeph::test
