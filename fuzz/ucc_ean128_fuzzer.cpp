// Any text that begins with FNC1 is described without reading past its end or
// writing past a field, and the field routines are safe at every position.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/descriptors/ucc_ean128_descriptor.h"
#include "engine/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // The decoder's view: FNC1, then the input cut at rawData's width and at
    // its first NUL.
    MatchRecord record;
    record.rawData.fill('7');
    record.rawData[0] = kFnc1Byte;
    XR_SetText(std::span<char>(record.rawData).subspan(1), input.substr(0, input.find('\0')));
    XR_SetText(record.symbology, "CODE-128");
    const int result = XR_DescribeUccEan128(record);
    if (result != 0 && result != 1) __builtin_trap();
    if (XR_TextOf(record.data).size() >= kDataWidth) __builtin_trap();
    if (XR_TextOf(record.descriptor).size() >= kNameWidth) __builtin_trap();
    if (XR_TextOf(record.barcodeType) != "UCC/EAN-128") __builtin_trap();

    // The field routines on an exact copy of the input and its terminator, at
    // every position and with counts reaching past the end.
    const size_t length = std::min<size_t>(size, 256);
    auto text = std::make_unique<char[]>(length + 1);
    std::copy_n(input.data(), length, text.get());
    text[length] = '\0';
    for (size_t pos = 0; pos <= length; ++pos) {
        const char* s = text.get() + pos;
        const int count = static_cast<int>(length - pos) + 2;
        if (XR_ReadDigits(s, count) < -1) __builtin_trap();
        if (XR_FieldText(s, count).size() > length - pos) __builtin_trap();
        if (XR_DecimalValue(s, count, static_cast<int>(pos % 12)) < -1.0) __builtin_trap();
        if (XR_FormatDate(s).empty()) __builtin_trap();
    }
    return 0;
}
