#pragma once
// Subcommands of the brevio tool register themselves here, one source file each (cmd_*.cpp).
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace brevio::tool {

// Exit codes shared by the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitFailure = 7;

struct Command {
    std::string summary;  // one line for `brevio --help`
    std::function<int(const std::vector<std::string>& args)> run;
};

std::map<std::string, Command>& Commands();

struct CommandRegistration {
    CommandRegistration(const std::string& name, std::string summary,
                        std::function<int(const std::vector<std::string>&)> run) {
        Commands()[name] = Command{std::move(summary), std::move(run)};
    }
};

}  // namespace brevio::tool
