// The engine's own searches give, on every image of the real-photo corpus,
// exactly the records kept in tests/data/corpus_search_records.txt (texts,
// confidences, end points), and the extended search gives those same records
// first (with the add-on it read where a record lacked one). Checks that remove invented reads must leave every real read as it
// was; this is where that shows.
//
// With ZEPH_WRITE_CORPUS_RECORDS=FILE the records are written to FILE instead
// of compared. Without a corpus beside the repository the test is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/extended/read_ledger.h"
#include "engine/reader.h"
#include "tests/support/corpus.h"

namespace {

using namespace zeph::test;

// The extended search's records begin with the search's, each as it was or
// completed by its add-on at the same confidence.
void ExpectKeptFirst(const std::string& heading, std::span<const MatchRecord> kept,
                     std::span<const MatchRecord> extended) {
    for (size_t i = 0; i < kept.size(); ++i) {
        const std::string was = FormatRecords(heading, kept.subspan(i, 1));
        const std::string is = FormatRecords(heading, extended.subspan(i, 1));
        if (was == is) continue;
        EXPECT_TRUE(zeph::extended::Completes(extended[i], kept[i])) << was << is;
        EXPECT_EQ(extended[i].confidence, kept[i].confidence) << was << is;
    }
}

TEST(CorpusRecords, SearchesKeepTheirRecordsAndTheExtendedSearchPutsThemFirst) {
    const auto folder = FindCorpus();
    if (!folder) GTEST_SKIP() << "no corpus beside the repository";
    const std::string recordsFile =
        std::string(ZEPH_SOURCE_DIR) + "/tests/data/corpus_search_records.txt";
    const char* writeTo = std::getenv("ZEPH_WRITE_CORPUS_RECORDS");
    const auto expected = ReadRecordBlocks(recordsFile);
    if (!writeTo) {
        ASSERT_FALSE(expected.empty()) << recordsFile;
    }

    ReaderConfigPtr config = XR_ParseConfig("");
    std::vector<MatchRecord> records(kMaxMatches);
    std::vector<MatchRecord> extended(kMaxMatches);
    GreyRaster raster;
    std::string written;
    int images = 0;
    for (const CorpusImage& image : CorpusImages(*folder)) {
        ASSERT_TRUE(LoadCorpusImage(image, raster)) << image.name;
        ++images;
        for (const bool thorough : {true, false}) {
            const int n = thorough ? XR_SearchThorough(raster.Values(), raster.height, raster.width,
                                                       kMaxGrey, config.get(), records, kMaxMatches)
                                   : XR_Search(raster.Values(), raster.height, raster.width,
                                               kMaxGrey, config.get(), records);
            ASSERT_GE(n, 0) << image.name;
            const std::string heading = image.name + (thorough ? " T" : " S");
            const std::string block = FormatRecords(heading, std::span(records).first(n));
            written += block;
            if (!writeTo) {
                const auto it = expected.find(heading);
                ASSERT_NE(it, expected.end()) << heading << " is not in " << recordsFile;
                EXPECT_EQ(block, it->second);
            }

            const int m = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                            config.get(), extended, kMaxMatches, thorough);
            ASSERT_GE(m, n) << heading;
            ExpectKeptFirst(heading, std::span(records).first(static_cast<size_t>(n)),
                            std::span(extended).first(static_cast<size_t>(n)));
            if (!thorough && n == 1) {
                EXPECT_EQ(m, 1) << heading;
            }
        }
    }
    EXPECT_EQ(static_cast<size_t>(2 * images), writeTo ? 2u * images : expected.size());
    if (writeTo) std::ofstream(writeTo) << written;
}

}  // namespace
