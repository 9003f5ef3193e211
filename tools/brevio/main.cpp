// brevio: inspect, make and cut Brevio movies from the command line.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "Command.h"

namespace brevio::tool {
std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands;
    return commands;
}
}  // namespace brevio::tool

// Loads the module with the commands that need FFmpeg (make, frame, thumb); its commands register
// themselves when it loads. Says why on stderr when it cannot be loaded.
static bool LoadMediaCommands() {
    static bool loaded = false;
    if (loaded) return true;
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return false;
    std::filesystem::path module = self.parent_path() / "brevio-media-commands.so";
    if (dlopen(module.c_str(), RTLD_NOW | RTLD_GLOBAL) == nullptr) {
        std::fprintf(stderr, "brevio: cannot load %s: %s\n", module.c_str(), dlerror());
        return false;
    }
    loaded = true;
    return true;
}

static void PrintUsage(FILE* out) {
    LoadMediaCommands();
    std::fprintf(out, "usage: brevio COMMAND [ARGS...]\n       brevio --version\n\ncommands:\n");
    for (const auto& [name, command] : brevio::tool::Commands())
        std::fprintf(out, "  %-6s %s\n", name.c_str(), command.summary.c_str());
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return brevio::tool::kExitBadArguments;
    }
    std::string first = argv[1];
    if (first == "--version" || first == "-V") {
        std::printf("brevio 2.1.0.10\n");
        return 0;
    }
    if (first == "--help" || first == "-h") {
        PrintUsage(stdout);
        return 0;
    }
    auto& commands = brevio::tool::Commands();
    auto it = commands.find(first);
    if (it == commands.end() && LoadMediaCommands()) it = commands.find(first);
    if (it == commands.end()) {
        std::fprintf(stderr, "brevio: unknown command '%s'\n", first.c_str());
        PrintUsage(stderr);
        return brevio::tool::kExitBadArguments;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    return it->second.run(args);
}
