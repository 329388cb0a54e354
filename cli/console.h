// Everything ZephScan prints leaves through here: one write of the text's
// bytes to standard output per call, unbuffered. A closed output loses text
// silently.
#pragma once

#include <string_view>

namespace zeph::cli {

// Keeps a closed pipe from ending the process; call once at start.
void PrepareConsole();
void WriteConsoleText(std::string_view text);

}  // namespace zeph::cli
