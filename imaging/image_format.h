// One image file format as the loader sees it: how its files begin, and how
// its pages are decoded one after another. Each format lives in a file of its
// own (imaging/*_format.cpp) holding its signature, its check that the data
// can fill what the header claims, its decoder and its pages; the loader
// walks one table of them (imaging/format_table.h). Changing how a format is
// decoded is a change to its file alone.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "imaging/decoded_image.h"
#include "imaging/row_sink.h"

namespace zeph::imaging {

// What a format needs to know beyond the file's bytes.
struct DecodeSettings {
    // Documents, whose pages hold no pixels of their own, are drawn at this
    // many dots per inch.
    int dotsPerInch = 300;
    // Whether pages after the first will be asked for: a format that builds
    // each page on the one before (an animation's screen) keeps that screen
    // only then.
    bool allPages = false;
};

// The pages (or frames) of one file, in order. The caller holds only the page
// last handed out; the decoder keeps what it needs to go on (a parser's
// state, an animation's screen), never the pages it gave.
class PageDecoder {
  public:
    virtual ~PageDecoder() = default;
    // The next page; nullopt at the end with `error` left empty, or with the
    // reason when the page cannot be decoded.
    virtual std::optional<DecodedImage> Next(std::string& error) = 0;
    // The next page's rows into `sink`: true when a whole page went in; false
    // at the end (`error` empty) or with the reason. Unless the format makes
    // rows of its own, the page decoded by Next, handed over as it is.
    virtual bool NextInto(RowSink& sink, std::string& error);
};

struct ImageFormat {
    std::string_view name;
    // Whether the bytes begin as this format's files do.
    bool (*sniff)(std::span<const uint8_t> bytes) = nullptr;
    // The file's pages from the first; nullptr with the reason when the file
    // cannot be opened. The bytes outlive the decoder.
    std::unique_ptr<PageDecoder> (*open)(std::span<const uint8_t> bytes,
                                         const DecodeSettings& settings,
                                         std::string& error) = nullptr;
    // False for a format without a signature, whose sniff only finds its
    // header plausible: it is tried after every format that has one.
    bool signature = true;
};

// A format of one page: `decode` runs on the first call, and the second ends.
using DecodeOnePage = std::optional<DecodedImage> (*)(std::span<const uint8_t> bytes,
                                                      std::string& error);
// The same page into a sink, as PageDecoder::NextInto.
using DecodeOnePageInto = bool (*)(std::span<const uint8_t> bytes, RowSink& sink,
                                   std::string& error);
std::unique_ptr<PageDecoder> OnePage(std::span<const uint8_t> bytes, DecodeOnePage decode,
                                     DecodeOnePageInto decodeInto = nullptr);

}  // namespace zeph::imaging
