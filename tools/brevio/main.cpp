// brevio: inspect, make and cut Brevio movies from the command line.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "Command.h"
#include "QuietOutput.h"

namespace brevio::tool {

std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands;
    return commands;
}

int BadArguments(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "brevio %s: %s\n", command.c_str(), message.c_str());
    return kExitBadArguments;
}

}  // namespace brevio::tool

namespace {

using brevio::tool::Commands;

// Loads the module with the commands that need FFmpeg (make, frame, thumb); its commands register
// themselves when it loads. It lies in BREVIO_MODULE_DIR, relative to the tool's own folder, in the
// build tree as in an installed tree. Says why on stderr when it cannot be loaded.
bool LoadMediaCommands() {
    static bool loaded = false;
    if (loaded) return true;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return false;
    const std::filesystem::path module =
        (self.parent_path() / BREVIO_MODULE_DIR / "brevio-media-commands.so").lexically_normal();
    if (dlopen(module.c_str(), RTLD_NOW | RTLD_GLOBAL) == nullptr) {
        std::fprintf(stderr, "brevio: cannot load %s: %s\n", module.c_str(), dlerror());
        return false;
    }
    loaded = true;
    return true;
}

// The commands that need the module are known only once it is loaded; a command of the tool's own
// (info, cut) runs without it, which keeps `brevio cut` small.
void LoadCommandsFor(int argc, char** argv) {
    const bool ownCommand = argc > 1 && Commands().count(argv[1]) != 0;
    // The version needs no command table: it starts without loading FFmpeg.
    const bool version =
        argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0);
    if (!ownCommand && !version) LoadMediaCommands();
}

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: brevio COMMAND [ARGS...]\n       brevio --version\n\ncommands:\n");
    for (const auto& [name, command] : Commands())
        std::fprintf(out, "  %-6s %s\n", name.c_str(), command.summary.c_str());
    std::fprintf(out, "\n`brevio COMMAND --help` shows a command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
    brevio::tool::InstallQuietOutput();
    LoadCommandsFor(argc, argv);

    CLI::App app{"brevio: inspect, make and cut Brevio movies", "brevio"};
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("-V,--version", "brevio " BREVIO_VERSION, "show the version and exit");
    app.require_subcommand(1);
    app.fallthrough(false);
    std::map<std::string, brevio::tool::CommandRunner> runners;
    for (const auto& [name, command] : Commands()) {
        CLI::App* sub = app.add_subcommand(name, command.summary);
        sub->set_help_flag("-h,--help", "show this help and exit");
        runners[name] = command.declare(*sub);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        // The tool's own help lists the commands; a command's help is CLI11's, with its options.
        if (app.get_subcommands().empty()) {
            PrintUsage(stdout);
        } else {
            std::fputs(app.get_subcommands().front()->help("brevio").c_str(), stdout);
        }
        return brevio::tool::kExitOk;
    } catch (const CLI::CallForVersion&) {
        std::printf("brevio %s\n", BREVIO_VERSION);
        return brevio::tool::kExitOk;
    } catch (const CLI::ParseError& error) {
        const auto parsed = app.get_subcommands();
        if (parsed.empty()) {
            if (argc > 1 && argv[1][0] == '-')
                std::fprintf(stderr, "brevio: unknown option '%s'\n", argv[1]);
            else if (argc > 1)
                std::fprintf(stderr, "brevio: unknown command '%s'\n", argv[1]);
            PrintUsage(stderr);
        } else {
            const std::string& name = parsed.front()->get_name();
            std::fprintf(stderr, "brevio %s: %s\n%s", name.c_str(), error.what(),
                         Commands()[name].usage.c_str());
        }
        return brevio::tool::kExitBadArguments;
    }
    const std::string name = app.get_subcommands().front()->get_name();
    return runners[name]();
}
