#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace vexana::test::cli {

struct Result {
    int status;
    std::string out;
};

// Runs the command line with args (stdout and stderr together), or the whole of command
// when it is given.
inline Result run(const std::string& args, const std::string& command = {}) {
    const std::string cmd =
        (command.empty() ? std::string(VEXANA_CLI) + " " + args : command) + " 2>&1";
    Result r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

} // namespace vexana::test::cli
