// The final write alone, in a process that links nothing but the engine: opens FILE, removes
// unit 2 and writes OUT. engine_bench runs it to measure the engine's own peak memory.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"

using namespace brevio::engine;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: engine_cut FILE OUT\n");
        return 2;
    }
    CVarnoMovFile file{FileLocator(std::filesystem::path(argv[1]))};
    if (!file.IsValid()) return 5;
    CBrevioMovie movie(&file);
    if (!movie.IsValid()) return 3;
    if (!movie.RemoveShootingUnit(1)) return 2;
    CBrevioMovFileEditor editor(file);
    return editor.CreateNewMovFile(FileLocator(std::filesystem::path(argv[2])), &movie) ==
                   CREATEMOVFILE_OK
               ? 0
               : 7;
}
