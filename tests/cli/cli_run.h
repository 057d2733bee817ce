#pragma once
// Runs the real qvtk-cli as a user does and keeps its exit status and both streams.
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qvtk::test {

struct CliRun {
    int status = -1;
    std::string out, err;
};

// `args` go through the shell, run from the folder `cwd` when one is given; stderr is caught in
// `errFile`.
inline CliRun RunCli(const std::string& args, const std::filesystem::path& errFile,
                     const std::string& cwd = "") {
    const std::string command = (cwd.empty() ? "" : "cd " + cwd + " && ") +
                                std::string(QVTK_CLI_PATH) + " " + args + " 2>" + errFile.string();
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
}

} // namespace qvtk::test
