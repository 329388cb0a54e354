// Number parsing with the leniency of the C library's atoi/atof (leading blanks,
// a sign, digits up to the first stray character, 0 when nothing parses), but
// locale-independent and without undefined behaviour on overflow.
#pragma once

#include <cstdint>
#include <string_view>

namespace zeph {

int32_t ParseCInt(std::string_view text);
float ParseCFloat(std::string_view text);

}  // namespace zeph
