#pragma once
// Running a child process and capturing what it prints.
#include <string>
#include <vector>

namespace brevio::testmovies {

struct CommandResult {
    int exitCode = -1;  // exit status; 128 + signal when killed; -1 when it could not start
    std::string out;    // standard output
    std::string err;    // standard error
};

// Runs argv[0] (looked up in PATH) with the arguments, stdin from /dev/null, and waits for it.
CommandResult RunCommand(const std::vector<std::string>& argv);

// The brevio tool built next to the tests: $BREVIO_BIN_DIR/brevio, or the build's bin/brevio.
std::string BrevioBinary();

}  // namespace brevio::testmovies
