#include "imaging/format_table.h"

#include "imaging/raster.h"

#include <array>

namespace zeph::imaging {
namespace {

using namespace detail;

// Signatures first, in an order where none is a prefix of a later one's.
constexpr std::array<const ImageFormat*, 10> kBuiltIn = {
    &kJpegFormat, &kPngFormat,  &kGifFormat, &kTiffFormat, &kWebpFormat,
    &kHeicFormat, &kAvifFormat, &kBmpFormat, &kPnmFormat,  &kTgaFormat,
};

class SinglePage final : public PageDecoder {
  public:
    SinglePage(std::span<const uint8_t> bytes, DecodeOnePage decode, DecodeOnePageInto decodeInto)
        : bytes_(bytes), decode_(decode), decodeInto_(decodeInto) {}
    std::optional<DecodedImage> Next(std::string& error) override {
        if (done_) return std::nullopt;
        done_ = true;
        return decode_(bytes_, error);
    }
    bool NextInto(RowSink& sink, std::string& error) override {
        if (!decodeInto_) return PageDecoder::NextInto(sink, error);
        if (done_) return false;
        done_ = true;
        return decodeInto_(bytes_, sink, error);
    }

  private:
    std::span<const uint8_t> bytes_;
    DecodeOnePage decode_;
    DecodeOnePageInto decodeInto_;
    bool done_ = false;
};

}  // namespace

bool PageDecoder::NextInto(RowSink& sink, std::string& error) {
    std::optional<DecodedImage> page = Next(error);
    return page && IntoSink(std::move(*page), sink, error);
}

std::unique_ptr<PageDecoder> OnePage(std::span<const uint8_t> bytes, DecodeOnePage decode,
                                     DecodeOnePageInto decodeInto) {
    return std::make_unique<SinglePage>(bytes, decode, decodeInto);
}

std::vector<const ImageFormat*> FormatTable(std::span<const ImageFormat* const> more) {
    std::vector<const ImageFormat*> table;
    table.reserve(kBuiltIn.size() + more.size());
    for (bool signature : {true, false}) {
        for (const ImageFormat* f : kBuiltIn) {
            if (f->signature == signature) table.push_back(f);
        }
        for (const ImageFormat* f : more) {
            if (f->signature == signature) table.push_back(f);
        }
    }
    return table;
}

const ImageFormat* FindFormat(std::span<const uint8_t> bytes,
                              std::span<const ImageFormat* const> more) {
    for (bool signature : {true, false}) {
        for (const ImageFormat* f : kBuiltIn) {
            if (f->signature == signature && f->sniff(bytes)) return f;
        }
        for (const ImageFormat* f : more) {
            if (f->signature == signature && f->sniff(bytes)) return f;
        }
    }
    return nullptr;
}

}  // namespace zeph::imaging
