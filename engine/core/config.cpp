#include <new>
#include <string_view>

#include "engine/core/c_numbers.h"
#include "engine/core/tokens.h"
#include "engine/reader.h"

const std::string_view XR_ConfigHelp =
    "\tZephBC configuration parameters: \n"
    "-sens\tContrast sensitivity (in [0.0,1.0])\n"
    "-srnbs\tSize of super resolution barcode signal (integer nb. of samples)\n"
    "-srnbp\tNumber of parallel paths used for super resolution stage (integer)\n"
    "-srpsp\tSpacing between parallel paths (integer number of pixels)\n"
    "-srshrp\tSharpening factor to be applied to super resolution signal (>=0.0f)\n"
    "-bctypes\tBarode protocols to be searched\n"
    "-minconf\tMinimum confidence value that may be considered a sucessful read (in "
    "[0.0,1.0])\n"
    "-minredund\tMinimum redundancy among parallel paths (in [0.0,<srnbp - 1>])\n"
    "-shiftrange\tRange of a sliding offset during symbol matching\n"
    "\n"
    "\tDefault configuration:\n"
    "-sens 0.07 -srnbs 512 -srnbp 21 -srpsp 1 -srshrp 0.5 -bctypes 959 -minconf 0.81 "
    "-minredund 5.0 -shiftrange 1";

namespace {

// Values the parser collects before the scan signal is created from them.
struct ParsedValues {
    float sensitivity = 0.07f;
    int32_t protocolMask = kDefaultProtocolMask;
    float minConfidence = 0.81f;
    float minRedundancy = 5.0f;
    int32_t sampleCount = 512;
    int32_t pathCount = 21;
    int32_t pathSpacing = 1;
    float sharpening = 0.5f;
    int32_t shiftRange = 1;
};

struct Flag {
    std::string_view name;
    int32_t ParsedValues::*intField;
    float ParsedValues::*floatField;
};

constexpr Flag kFlags[] = {
    {"-sens", nullptr, &ParsedValues::sensitivity},
    {"-srnbs", &ParsedValues::sampleCount, nullptr},
    {"-srnbp", &ParsedValues::pathCount, nullptr},
    {"-srpsp", &ParsedValues::pathSpacing, nullptr},
    {"-srshrp", nullptr, &ParsedValues::sharpening},
    {"-bctypes", &ParsedValues::protocolMask, nullptr},
    {"-minconf", nullptr, &ParsedValues::minConfidence},
    {"-minredund", nullptr, &ParsedValues::minRedundancy},
    {"-shiftrange", &ParsedValues::shiftRange, nullptr},
};

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

const Flag* FindFlag(std::string_view token) {
    for (const Flag& flag : kFlags) {
        if (EqualsIgnoreCase(token, flag.name)) return &flag;
    }
    return nullptr;
}

}  // namespace

ReaderConfigPtr XR_ParseConfig(std::string_view text) {
    try {
        ParsedValues values;
        const Flag* pending = nullptr;
        zeph::ForEachToken(text, [&](std::string_view token) {
            if (pending) {
                if (pending->intField)
                    values.*(pending->intField) = zeph::ParseCInt(token);
                else
                    values.*(pending->floatField) = zeph::ParseCFloat(token);
                pending = nullptr;
            } else {
                pending = FindFlag(token);
            }
            return true;
        });
        if (pending) return nullptr;  // the last flag has no value

        auto config = std::make_unique<ReaderConfig>();
        config->sensitivity = values.sensitivity;
        config->protocolMask = values.protocolMask;
        config->minConfidence = values.minConfidence;
        config->minRedundancy = values.minRedundancy;
        config->scan = XR_NewScanSignal(values.sampleCount, values.pathCount, values.pathSpacing,
                                        values.sharpening, values.shiftRange);
        if (!config->scan) return nullptr;
        return config;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void XR_FreeConfig(ReaderConfigPtr config) {
    if (!config) return;
    XR_FreeScanSignal(std::move(config->scan));
    config.reset();
}
