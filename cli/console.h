// Everything ZephScan prints leaves through here: the report, one write of
// the text's bytes to standard output per call, unbuffered; messages on
// standard error.
#pragma once

#include <string>
#include <string_view>

namespace zeph::cli {

// Keeps a closed pipe from ending the process with a signal, so that the
// failed write is seen and the run ends with its own status; call once at
// start.
void PrepareConsole();
// False when the text could not be written whole (a closed pipe, a full
// disk); the reason is then in `error` when given.
bool WriteConsoleText(std::string_view text, std::string* error = nullptr);
// One message line on standard error: "ZephScan: " and the text.
void WriteMessage(std::string_view text);

}  // namespace zeph::cli
