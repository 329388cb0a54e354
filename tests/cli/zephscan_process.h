// ZephScan run as a process, as people run it: arguments without a shell in
// between, standard input from a pipe, both outputs collected; and the check
// that an XML report is well-formed, made on every report the tests see.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zeph::test {

struct ScanRun {
    int status = -1;  // the exit status, -1 when the process did not exit
    std::string output;
    std::string errors;
};

struct ScanInput {
    std::string standardInput;  // written to a pipe on standard input
    // Called with the read end of standard output instead of reading it all,
    // which it closes when done; the process's output is then not collected.
    std::function<void(int fd)> readOutput;
};

ScanRun RunZephScan(const std::vector<std::string>& args, const ScanInput& input = {});

// xmllint --noout over the text; the linter's messages when it refuses it.
bool WellFormedXml(const std::string& report, std::string* messages = nullptr);

}  // namespace zeph::test
