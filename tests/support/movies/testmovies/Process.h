#pragma once
// Running a child process and capturing what it prints.
#include <filesystem>
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

// Runs a command line through the shell; returns its exit status (-1 when it did not exit) and
// collects what it prints on both outputs.
int RunShell(const std::string& command, std::string* output = nullptr);
// A path quoted for the shell.
std::string Quote(const std::filesystem::path& p);

// The brevio tool built next to the tests: $BREVIO_BIN_DIR/brevio, or the build's bin/brevio.
std::string BrevioBinary();

}  // namespace brevio::testmovies
