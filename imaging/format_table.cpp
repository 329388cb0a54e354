#include "imaging/format_table.h"

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
    SinglePage(std::span<const uint8_t> bytes, DecodeOnePage decode)
        : bytes_(bytes), decode_(decode) {}
    std::optional<DecodedImage> Next(std::string& error) override {
        if (done_) return std::nullopt;
        done_ = true;
        return decode_(bytes_, error);
    }

  private:
    std::span<const uint8_t> bytes_;
    DecodeOnePage decode_;
    bool done_ = false;
};

}  // namespace

std::unique_ptr<PageDecoder> OnePage(std::span<const uint8_t> bytes, DecodeOnePage decode) {
    return std::make_unique<SinglePage>(bytes, decode);
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
