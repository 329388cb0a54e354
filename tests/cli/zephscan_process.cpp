#include "tests/cli/zephscan_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace zeph::test {
namespace {

std::string ReadAll(int fd) {
    std::string text;
    std::array<char, 4096> buffer;
    ssize_t n;
    while ((n = read(fd, buffer.data(), buffer.size())) > 0)
        text.append(buffer.data(), size_t(n));
    return text;
}

}  // namespace

ScanRun RunZephScan(const std::vector<std::string>& args, const ScanInput& input) {
    int out[2], err[2], in[2];
    if (pipe(out) != 0 || pipe(err) != 0 || pipe(in) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        dup2(in[0], STDIN_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1], in[0], in[1]})
            close(fd);
        std::vector<char*> argv;
        std::string program = ZEPH_ZEPHSCAN;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    close(in[0]);
    std::thread feeder([&] {
        size_t at = 0;
        while (at < input.standardInput.size()) {
            const ssize_t n =
                write(in[1], input.standardInput.data() + at, input.standardInput.size() - at);
            if (n <= 0) break;
            at += size_t(n);
        }
        close(in[1]);
    });
    ScanRun run;
    std::thread errors([&] { run.errors = ReadAll(err[0]); });
    if (input.readOutput) {
        input.readOutput(out[0]);  // and closes it
    } else {
        run.output = ReadAll(out[0]);
        close(out[0]);
    }
    feeder.join();
    errors.join();
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // Every XML report a test sees must be well-formed.
    if (run.output.rfind("<ZephScanOutput>", 0) == 0) {
        std::string messages;
        EXPECT_TRUE(WellFormedXml(run.output, &messages)) << messages << "\n" << run.output;
    }
    return run;
}

bool WellFormedXml(const std::string& report, std::string* messages) {
    char path[] = "/tmp/zeph-report-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return false;
    close(fd);
    std::ofstream(path, std::ios::binary) << report;
    const std::string command = std::string("xmllint --noout ") + path + " 2>" + path + ".log";
    const int status = std::system(command.c_str());
    if (messages) {
        std::ifstream log(std::string(path) + ".log");
        messages->assign(std::istreambuf_iterator<char>(log), {});
    }
    std::remove((std::string(path) + ".log").c_str());
    std::remove(path);
    return status == 0;
}

}  // namespace zeph::test
