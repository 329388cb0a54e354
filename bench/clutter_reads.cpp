// What the searches read where there is no barcode: the generated clutter
// pictures (random bars, gratings, text-like strokes, noise, gradients,
// textures) and the corpus's falsepositives sets, each read by the thorough
// search alone and by the extended search, under ZephScan's default
// symbologies. Every read is listed with its picture.
//
//     clutter_reads [PICTURES_PER_KIND] [CORPUS_DIR]
//
// PICTURES_PER_KIND defaults to 50 (seeds 1 to N of each of the six kinds);
// CORPUS_DIR to ../shared/corpus beside the repository. Reports; never fails.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "engine/reader.h"
#include "tests/support/clutter_renderer.h"
#include "tests/support/corpus.h"
#include "tests/support/image_renderer.h"

namespace {

using namespace zeph::test;

struct Search {
    ReaderConfigPtr config = XR_ParseConfig("");
    std::vector<MatchRecord> records = std::vector<MatchRecord>(kMaxMatches);
    GreyRaster raster;

    // The count of records; negative on failure.
    int Run(bool extended) {
        config->protocolMask = extended ? kExtendedDefaultMask : kDefaultProtocolMask;
        if (extended) {
            return XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                     config.get(), records, kMaxMatches, true);
        }
        return XR_SearchThorough(raster.Values(), raster.height, raster.width, kMaxGrey,
                                 config.get(), records, kMaxMatches);
    }
};

struct Tally {
    int pictures = 0;
    int reads = 0;
    int failures = 0;
};

void ReadBoth(Search& search, const std::string& name, Tally (&tallies)[2]) {
    for (int extended = 0; extended < 2; ++extended) {
        Tally& t = tallies[extended];
        ++t.pictures;
        const int count = search.Run(extended == 1);
        if (count < 0) {
            ++t.failures;
            std::printf("  %s %s: search failed\n", extended ? "extended" : "thorough",
                        name.c_str());
            continue;
        }
        t.reads += count;
        for (int i = 0; i < count; ++i) {
            const MatchRecord& r = search.records[static_cast<size_t>(i)];
            std::printf("  %s %s: %s \"%s\" %.3f\n", extended ? "extended" : "thorough",
                        name.c_str(), XR_TextOf(r.symbology).data(), XR_TextOf(r.rawData).data(),
                        static_cast<double>(r.confidence));
        }
    }
}

void Print(const char* set, const Tally (&tallies)[2]) {
    std::printf("%-22s %5d pictures   thorough %3d reads   extended %3d reads", set,
                tallies[0].pictures, tallies[0].reads, tallies[1].reads);
    if (tallies[0].failures + tallies[1].failures > 0)
        std::printf("   %d failed", tallies[0].failures + tallies[1].failures);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const int perKind = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const std::optional<std::string> corpus =
        argc > 2 ? std::optional<std::string>(argv[2]) : FindCorpus();
    Search search;
    if (!search.config) return 1;

    Tally clutter[2];
    for (int kind = 0; kind < kClutterKinds; ++kind) {
        for (int seed = 1; seed <= perKind; ++seed) {
            const Image image =
                ClutterImage(static_cast<Clutter>(kind), static_cast<uint32_t>(seed));
            if (XR_RasterFromBgrRows(image.Bytes(), image.width, image.height, image.stride,
                                     search.raster) != 1) {
                continue;
            }
            ReadBoth(search, ClutterName(static_cast<Clutter>(kind)) + " " + std::to_string(seed),
                     clutter);
        }
    }
    Print("clutter", clutter);

    if (!corpus) {
        std::printf("no corpus beside the repository\n");
        return 0;
    }
    Tally photos[2];
    for (const CorpusImage& image : CorpusImages(*corpus)) {
        if (!image.name.starts_with("falsepositives-")) continue;
        if (!LoadCorpusImage(image, search.raster)) continue;
        ReadBoth(search, image.name, photos);
    }
    Print("falsepositives sets", photos);
    return 0;
}
