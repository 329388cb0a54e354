// The library's entry points: a picture in, checked options, one search with
// the engine's routines, the records out as barcodes. Nothing is shared
// between calls but the engine's per-thread tables.
#include <cmath>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "api/own_thread.h"
#include "api/raster_from_view.h"
#include "engine/parallel/work_crew.h"
#include "engine/reader.h"
#include "imaging/grey_rows.h"
#include "imaging/image_loading.h"
#include "platform/codepage.h"
#include "zeph/barcode.h"

namespace zeph {
namespace {

constexpr int kMostThreads = 64;

[[noreturn]] void InvalidOption(const std::string& why) {
    throw ReadError(ReadError::Kind::InvalidArgument, "invalid option: " + why);
}

void CheckOptions(const ReaderOptions& options) {
    const uint32_t mask = options.symbologies.Mask();
    if (mask == 0) InvalidOption("no symbology chosen");
    if (mask & ~Symbologies::All().Mask()) {
        InvalidOption("unknown symbology bits in mask " + std::to_string(mask));
    }
    const auto fraction = [](float v) { return std::isfinite(v) && v >= 0.0f && v <= 1.0f; };
    if (!fraction(options.minConfidence)) InvalidOption("minimum confidence must lie in [0, 1]");
    if (!fraction(options.contrastSensitivity)) {
        InvalidOption("contrast sensitivity must lie in [0, 1]");
    }
    if (options.threads < 1 || options.threads > kMostThreads) {
        InvalidOption("threads must lie in [1, " + std::to_string(kMostThreads) + "]");
    }
}

struct ConfigRelease {
    void operator()(ReaderConfig* config) const { XR_FreeConfig(ReaderConfigPtr(config)); }
};

Barcode ToBarcode(const MatchRecord& record) {
    Barcode barcode;
    barcode.rawBytes = std::string(XR_TextOf(record.rawData));
    barcode.rawText = platform::Utf8FromWindows1252(barcode.rawBytes);
    barcode.text = platform::Utf8FromWindows1252(XR_TextOf(record.data));
    barcode.symbology = platform::Utf8FromWindows1252(XR_TextOf(record.symbology));
    barcode.type = platform::Utf8FromWindows1252(XR_TextOf(record.barcodeType));
    barcode.descriptor = platform::Utf8FromWindows1252(XR_TextOf(record.descriptor));
    barcode.confidence = record.confidence;
    barcode.start = {record.startX, record.startY};
    barcode.stop = {record.stopX, record.stopY};
    return barcode;
}

// The search ZephScan's control runs, with the same defaults.
std::vector<Barcode> Search(const GreyRaster& raster, const ReaderOptions& options) {
    std::unique_ptr<ReaderConfig, ConfigRelease> config(XR_ParseConfig("").release());
    if (!config) throw ReadError(ReadError::Kind::OutOfMemory, "out of memory");
    config->protocolMask = static_cast<int32_t>(options.symbologies.Mask());
    config->minConfidence = options.minConfidence;
    config->sensitivity = options.contrastSensitivity;
    std::unique_ptr<WorkCrew> crew;
    if (options.threads > 1 && int64_t{raster.width} * raster.height >= kLeastSharedSearchPixels) {
        crew = std::make_unique<WorkCrew>(options.threads);
        config->crew = crew.get();
    }
    std::vector<MatchRecord> records(kMaxMatches);
    int count = 0;
    if (options.extended) {
        count = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                  config.get(), records, kMaxMatches, options.thorough);
    } else if (options.thorough) {
        count = XR_SearchThorough(raster.Values(), raster.height, raster.width, kMaxGrey,
                                  config.get(), records, kMaxMatches);
    } else {
        count = XR_Search(raster.Values(), raster.height, raster.width, kMaxGrey, config.get(),
                          records);
    }
    config->crew = nullptr;
    if (count < 0) throw ReadError(ReadError::Kind::OutOfMemory, "the reader ran out of memory");
    std::vector<Barcode> barcodes;
    barcodes.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        barcodes.push_back(ToBarcode(records[static_cast<size_t>(i)]));
    return barcodes;
}

ReadError::Kind KindOf(imaging::ImageFailure failure) {
    switch (failure) {
        case imaging::ImageFailure::Unreadable:
            return ReadError::Kind::UnreadableFile;
        case imaging::ImageFailure::UnknownFormat:
            return ReadError::Kind::UnknownFormat;
        case imaging::ImageFailure::TooLarge:
            return ReadError::Kind::TooLarge;
        case imaging::ImageFailure::OutOfMemory:
            return ReadError::Kind::OutOfMemory;
        default:
            return ReadError::Kind::DamagedImage;
    }
}

// Each thread keeps the grey raster of its last picture for its next call,
// as the engine keeps its buffers and tables per thread: a picture of the
// same size then needs no fresh pages (for 12 megapixels, 48 MB of them).
// Freed with the thread.
GreyRaster& ThreadRaster() {
    thread_local GreyRaster raster;
    return raster;
}

// Pictures up to this size are read with the calling thread's kept raster
// and buffers. A larger one is read on a thread of its own, so that the
// gigabytes it may need (the raster, the engine's buffers sized by it) are
// not held between calls.
constexpr uint64_t kMostKeptPixels = uint64_t{1} << 24;

// `fill` puts the picture of `width` x `height` into the raster it is given.
template <typename Fill>
std::vector<Barcode> ReadPicture(int64_t width, int64_t height, Fill fill,
                                 const ReaderOptions& options) {
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) <= kMostKeptPixels) {
        GreyRaster& raster = ThreadRaster();
        fill(raster);
        return Search(raster, options);
    }
    return api::OnThreadOfItsOwn([&] {
        GreyRaster raster;
        fill(raster);
        return Search(raster, options);
    });
}

// Page by page, each decoded straight into a grey raster: the calling
// thread's kept one, or for a page over kMostKeptPixels one of its own, read
// on a thread of its own and freed before the next page.
std::vector<Barcode> ReadPages(imaging::ImagePages pages, const ReaderOptions& options,
                               const std::string& name) {
    std::vector<Barcode> barcodes;
    for (;;) {
        GreyRaster large;
        GreyRaster* raster = nullptr;
        imaging::GreySink sink([&](int32_t width, int32_t height) -> int32_t* {
            GreyRaster& target =
                uint64_t(width) * uint64_t(height) <= kMostKeptPixels ? ThreadRaster() : large;
            if (XR_RasterResize(width, height, target) != 1) return nullptr;
            raster = &target;
            return target.values.get();
        });
        const imaging::PageResult page = pages.NextInto(sink);
        sink.Release();  // the decoded pixels' place in the budget goes before the search
        if (page.End()) return barcodes;
        if (!page.page) {
            if (pages.Page() == 1) throw ReadError(KindOf(page.failure), name + page.error);
            throw ReadError(KindOf(page.failure),
                            name + "page " + std::to_string(pages.Page()) + ": " + page.error,
                            std::move(barcodes));
        }
        std::vector<Barcode> read =
            raster == &large ? api::OnThreadOfItsOwn([&] { return Search(large, options); })
                             : Search(*raster, options);
        for (Barcode& b : read) {
            b.page = pages.Page();
            barcodes.push_back(std::move(b));
        }
    }
}

imaging::LoadSettings LoadSettingsOf(const ReaderOptions& options) {
    imaging::LoadSettings settings;
    settings.allPages = options.allPages;
    return settings;
}

// Memory running out anywhere is the library's own error, like the others.
template <typename Read>
std::vector<Barcode> Guarded(Read read) {
    try {
        return read();
    } catch (const std::bad_alloc&) {
        throw ReadError(ReadError::Kind::OutOfMemory, "out of memory");
    }
}

}  // namespace

std::vector<Barcode> ReadBarcodes(const ImageView& image, const ReaderOptions& options) {
    return Guarded([&] {
        CheckOptions(options);
        return ReadPicture(
            image.width, image.height,
            [&](GreyRaster& raster) { api::RasterFromView(image, raster); }, options);
    });
}

std::vector<Barcode> ReadBarcodesFromFile(const std::filesystem::path& path,
                                          const ReaderOptions& options) {
    return Guarded([&] {
        CheckOptions(options);
        // The system would read the name only up to the NUL: another file.
        if (path.native().find('\0') != std::string::npos) {
            throw ReadError(ReadError::Kind::InvalidArgument, "invalid path: it holds a NUL byte");
        }
        return ReadPages(imaging::ImagePages::OfFile(path.string(), LoadSettingsOf(options)),
                         options, "cannot read '" + path.string() + "': ");
    });
}

std::vector<Barcode> ReadBarcodesFromEncoded(std::span<const uint8_t> bytes,
                                             const ReaderOptions& options) {
    return Guarded([&] {
        CheckOptions(options);
        return ReadPages(imaging::ImagePages::OfBytes(bytes, LoadSettingsOf(options)), options, "");
    });
}

const char* Version() {
    return "1.0.0";
}

}  // namespace zeph
