#pragma once
// Subcommands of the brevio tool register themselves here, one source file each (cmd_*.cpp). A
// command declares its arguments on its own CLI11 subcommand and returns what runs once they have
// been parsed; paths stay the bytes of argv.
#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <string>

namespace brevio::tool {

// Exit codes shared by the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitFailure = 7;

using CommandRunner = std::function<int()>;

struct Command {
    std::string summary;  // one line for `brevio --help`
    std::string usage;    // the synopsis shown after a mistake in the arguments
    std::function<CommandRunner(CLI::App&)> declare;
};

std::map<std::string, Command>& Commands();

struct CommandRegistration {
    CommandRegistration(const std::string& name, Command command) {
        Commands()[name] = std::move(command);
    }
};

// Says on stderr, prefixed with "brevio COMMAND: ", what is wrong with the arguments.
int BadArguments(const std::string& command, const std::string& message);

}  // namespace brevio::tool
