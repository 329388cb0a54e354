// AVIF: HEIF files of AV1-coded pictures; the primary image.
// The coding has no floor of bits per pixel worth checking (a block of
// one colour costs well under a bit), so the size limit is the only check
// before decoding.
#include "imaging/format_table.h"
#include "imaging/heif_reading.h"

namespace zeph::imaging::detail {
namespace {

bool Sniff(std::span<const uint8_t> bytes) {
    return HeifCodingOf(bytes) == HeifCoding::Av1;
}

std::optional<Raster> Decode(std::span<const uint8_t> bytes, std::string& error) {
    return DecodeHeif(bytes, "AVIF", error);
}

}  // namespace

const ImageFormat kAvifFormat = {
    "AVIF", Sniff, [](std::span<const uint8_t> bytes, const DecodeSettings&, std::string&) {
        return OnePage(bytes, Decode);
    }};

}  // namespace zeph::imaging::detail
