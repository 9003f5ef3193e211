// The name a final movie is saved under only ever holds a whole movie: a save killed part-way
// leaves at most a hidden ".partial" file, a file that appears under the name during the save
// is neither replaced nor deleted, and the assembler leaves an existing destination alone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>

#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/MovieAssembler.h"
#include "testmovies/TestMovies.h"

namespace {

namespace fs = std::filesystem;
using namespace brevio::testmovies;

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    return names;
}

std::string Content(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Save {
    fs::path destination;
    double at = 2.0;  // fraction at which `what` happens
    enum { Nothing, Kill, CreateDestination } what = Nothing;
};

EBrevioMovFileEditorProgressCallbackResult OnProgress(EBrevioMovFileEditorProgressCallbackMessage,
                                                      double fraction, void* user) {
    auto* save = static_cast<Save*>(user);
    if (fraction >= save->at && save->what == Save::Kill) ::raise(SIGKILL);
    if (fraction >= save->at && save->what == Save::CreateDestination) {
        std::ofstream(save->destination) << "someone else's file";
        save->what = Save::Nothing;
    }
    return BrevioMovFileEditorContinue;
}

ERROR_CREATEMOVFILE SaveCut(const fs::path& source, Save& save) {
    CVarnoMovFile file{FileLocator(source)};
    CBrevioMovie movie(&file);
    if (!movie.RemoveShootingUnit(1)) return CREATEMOVFILE_INVALID_ARGUMENT;
    CBrevioMovFileEditor editor(file);
    editor.SetProgressCallback(OnProgress, &save);
    return editor.CreateNewMovFile(FileLocator(save.destination), &movie);
}

TEST(EngineFinalFile, TheChosenNameOnlyEverHoldsAWholeMovie) {
    MovieOptions options;
    options.units = 4;
    options.width = 640;
    options.height = 480;
    const fs::path source = MakeMovie(options);
    TempDir dir("final");

    // Killed half-way: nothing under the name, one hidden temporary file that says what it is.
    Save killed{dir / "killed.mov", 0.5, Save::Kill};
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(int(SaveCut(source, killed)));
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save ended before it was killed";
    EXPECT_FALSE(fs::exists(killed.destination));
    const auto left = Names(dir.path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].rfind(".killed.mov.", 0), 0u) << left[0];
    EXPECT_NE(left[0].find(".partial"), std::string::npos) << left[0];
    fs::remove(dir / left[0]);

    // A file that appears under the name meanwhile is kept as it is, and nothing else is left.
    Save raced{dir / "raced.mov", 0.5, Save::CreateDestination};
    EXPECT_EQ(SaveCut(source, raced), CREATEMOVFILE_DESTINATION_EXISTS);
    EXPECT_EQ(Content(raced.destination), "someone else's file");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"raced.mov"});

    // A whole save: exactly the movie under its name.
    Save whole{dir / "whole.mov"};
    ASSERT_EQ(SaveCut(source, whole), CREATEMOVFILE_OK);
    EXPECT_EQ(Names(dir.path()).size(), 2u);
    EXPECT_EQ(FrameMd5(whole.destination).size(), 3u * 120u);

    // The assembler refuses an existing destination and leaves it untouched.
    const auto result = brevio::engine::AssembleMovie({source, source}, raced.destination, {});
    EXPECT_EQ(result.code, CREATEMOVFILE_DESTINATION_EXISTS);
    EXPECT_EQ(Content(raced.destination), "someone else's file");
    EXPECT_EQ(Names(dir.path()).size(), 2u);
}

}  // namespace
