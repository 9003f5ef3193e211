// The name a final movie is saved under only ever holds a whole movie: a save killed part-way
// leaves nothing (an unnamed file disappears with the process; the hidden partial file of file
// systems without unnamed files is removed by a SIGTERM handler), a file that appears under the
// name during the save is neither replaced nor deleted, and the assembler leaves an existing
// destination alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>

#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/MovieAssembler.h"
#include "engine/impl/DurableFile.h"
#include "engine/impl/EditPlan.h"
#include "engine/impl/FileImpl.h"
#include "engine/impl/MovieImpl.h"
#include "engine/impl/MovieWriter.h"
#include "testmovies/Oracles.h"
#include "testmovies/TestMovies.h"

namespace {

namespace fs = std::filesystem;
using namespace brevio::engine;
using namespace brevio::testmovies;
using brevio::engine::FinalFileKind;

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
    enum { Nothing, Kill, Terminate, CreateDestination, OverwriteSource } what = Nothing;
    FinalFileKind kind = FinalFileKind::Automatic;
    fs::path source = {};  // for OverwriteSource
};

EBrevioMovFileEditorProgressCallbackResult OnProgress(EBrevioMovFileEditorProgressCallbackMessage,
                                                      double fraction, void* user) {
    auto* save = static_cast<Save*>(user);
    if (fraction >= save->at && save->what == Save::Kill) ::raise(SIGKILL);
    if (fraction >= save->at && save->what == Save::Terminate) ::raise(SIGTERM);
    if (fraction >= save->at && save->what == Save::CreateDestination) {
        std::ofstream(save->destination) << "someone else's file";
        save->what = Save::Nothing;
    }
    if (fraction >= save->at && save->what == Save::OverwriteSource) {
        // Another program rewrites bytes of the source in place, as large as it was.
        std::fstream file(save->source, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(fs::file_size(save->source) / 2));
        file << "other bytes";
        save->what = Save::Nothing;
    }
    return BrevioMovFileEditorContinue;
}

// A SIGTERM handler as a tool installs it: partial files removed, then the default action.
extern "C" void RemovePartialsAndEnd(int signal) {
    CBrevioMovFileEditor::RemovePartialFiles();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Writes the source with its second unit removed; `error` gets the system's error number.
ERROR_CREATEMOVFILE SaveCut(const fs::path& source, Save& save, int* error = nullptr) {
    CVarnoMovFile file{FileLocator(source)};
    CBrevioMovie movie(&file);
    if (!movie.RemoveShootingUnit(1)) return CREATEMOVFILE_INVALID_ARGUMENT;
    if (save.kind == FinalFileKind::Partial) {
        auto plan = brevio::engine::PlanEditedMovie(file.GetImpl(), movie.GetImpl());
        if (!plan) return CREATEMOVFILE_UNSUPPORTED;
        brevio::engine::SourceFiles sources;
        sources.handles.push_back(&file.GetImpl().handles[0]);
        sources.paths.push_back(file.GetImpl().samples.files[0]);
        brevio::engine::WriteFailure failure;
        const auto rc = brevio::engine::WriteFinalMovie(*plan, sources, save.destination,
                                                        {OnProgress, &save}, failure, save.kind);
        if (error) *error = failure.systemError;
        return rc;
    }
    CBrevioMovFileEditor editor(file);
    editor.SetProgressCallback(OnProgress, &save);
    const auto rc = editor.CreateNewMovFile(FileLocator(save.destination), &movie);
    if (error) *error = editor.GetLastSystemError();
    return rc;
}

// Runs the save in a child process that the save's own action ends; the child's wait status.
int SaveInChild(const fs::path& source, Save& save) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGTERM, RemovePartialsAndEnd);
        ::_exit(int(SaveCut(source, save)));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(EngineFinalFile, TheChosenNameOnlyEverHoldsAWholeMovie) {
    MovieOptions options;
    options.units = 4;
    options.width = 640;
    options.height = 480;
    const fs::path source = MakeMovie(options);
    TempDir dir("final");

    // Killed half-way, with an unnamed file or a hidden partial file removed on SIGTERM:
    // nothing is left.
    for (auto [what, kind] : {std::pair{Save::Kill, FinalFileKind::Automatic},
                              std::pair{Save::Terminate, FinalFileKind::Automatic},
                              std::pair{Save::Terminate, FinalFileKind::Partial}}) {
        Save killed{dir / "killed.mov", 0.5, what, kind};
        const int status = SaveInChild(source, killed);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the save ended before it was killed";
        EXPECT_EQ(WTERMSIG(status), what == Save::Kill ? SIGKILL : SIGTERM);
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{}) << int(kind);
    }

    // A file that appears under the name meanwhile is kept as it is, and nothing else is left.
    for (FinalFileKind kind : {FinalFileKind::Automatic, FinalFileKind::Partial}) {
        Save raced{dir / "raced.mov", 0.5, Save::CreateDestination, kind};
        EXPECT_EQ(SaveCut(source, raced), CREATEMOVFILE_DESTINATION_EXISTS);
        EXPECT_EQ(Content(raced.destination), "someone else's file");
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"raced.mov"});
        fs::remove(raced.destination);
    }

    // A whole save: exactly the movie under its name, with the mode the umask leaves.
    const mode_t previousMask = ::umask(027);
    Save whole{dir / "whole.mov"};
    const auto wholeResult = SaveCut(source, whole);
    ::umask(previousMask);
    ASSERT_EQ(wholeResult, CREATEMOVFILE_OK);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"whole.mov"});
    EXPECT_EQ(FrameMd5(whole.destination).size(), 3u * 120u);
    struct stat st {};
    ASSERT_EQ(::stat(whole.destination.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A user without the right to link by descriptor links through /proc.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(dir.path().c_str(), 01777), 0);
        Save other{dir / "other.mov"};
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
            ::_exit(int(SaveCut(source, other)));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == CREATEMOVFILE_OK) << status;
        ASSERT_EQ(::stat(other.destination.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(Content(other.destination), Content(whole.destination));
        fs::remove(other.destination);
    }

    // The assembler refuses an existing destination and leaves it untouched.
    std::ofstream(dir / "taken.mov") << "someone else's file";
    const auto result = brevio::engine::AssembleMovie({source, source}, dir / "taken.mov", {});
    EXPECT_EQ(result.code, CREATEMOVFILE_DESTINATION_EXISTS);
    EXPECT_EQ(Content(dir / "taken.mov"), "someone else's file");
    EXPECT_EQ(Names(dir.path()).size(), 2u);
}

TEST(EngineFinalFile, LongNamesFitTheirPartialNameAndTooLongOnesFailEarly) {
    const fs::path source = MakeMovie(SmallMovie({30, 30, 30}));
    TempDir dir("final-names");
    // 80 three-byte characters and ".mov": 244 bytes, where ".NAME.XXXXXX.partial" would be 260.
    std::string chinese;
    for (int i = 0; i < 80; ++i) chinese += "\xe7\x89\x87";  // 片
    const std::string names[] = {chinese + ".mov", std::string(251, 'a') + ".mov"};
    for (const std::string& name : names) {
        for (FinalFileKind kind : {FinalFileKind::Automatic, FinalFileKind::Partial}) {
            Save save{dir / name, 2.0, Save::Nothing, kind};
            EXPECT_EQ(SaveCut(source, save), CREATEMOVFILE_OK) << name.size();
            EXPECT_TRUE(fs::exists(save.destination));
            fs::remove(save.destination);
        }
        // A kill leaves the hidden name; it fits the limit and ends on a whole character.
        Save killed{dir / name, 0.5, Save::Kill, FinalFileKind::Partial};
        ASSERT_TRUE(WIFSIGNALED(SaveInChild(source, killed)));
        const auto left = Names(dir.path());
        ASSERT_EQ(left.size(), 1u);
        EXPECT_LE(left[0].size(), 255u);
        EXPECT_EQ(left[0].substr(left[0].size() - 8), ".partial");
        EXPECT_EQ(left[0].rfind("." + name.substr(0, 100), 0), 0u);
        const size_t kept = left[0].size() - 16;
        EXPECT_EQ(kept % (name[0] == 'a' ? 1 : 3), 0u) << left[0];
        fs::remove(dir / left[0]);
    }
    // One byte over the limit fails before anything is written, with the system's reason.
    Save tooLong{dir / (std::string(252, 'b') + ".mov")};
    int error = 0;
    EXPECT_EQ(SaveCut(source, tooLong, &error), CREATEMOVFILE_CREATE_FAILED);
    EXPECT_EQ(error, ENAMETOOLONG);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{});
}

// The naming is checked against what was written and read: a partial file swapped for another
// file is never named, a system without /proc still saves, a source rewritten in place fails the
// save, and the process's SIGXFSZ disposition stays its own.
TEST(EngineFinalFile, OnlyTheWrittenMovieOfAnUnchangedSourceIsNamed) {
    const fs::path source = MakeMovie(SmallMovie({30, 30, 30}));
    TempDir dir("final-checks");
    DurableFileHooks& hooks = TestHooks();
    const DurableFileHooks defaults = hooks;

    // Another user's file put under the partial name just before the rename.
    static const fs::path* decoy = nullptr;
    const fs::path decoyPath = dir / "decoy";
    decoy = &decoyPath;
    hooks.beforeRename = [](int folder, const char* partial) {
        std::ofstream(*decoy) << "16 bytes of his.";
        ::renameat(AT_FDCWD, decoy->c_str(), folder, partial);
    };
    Save swapped{dir / "out.mov", 2.0, Save::Nothing, FinalFileKind::Partial};
    EXPECT_EQ(SaveCut(source, swapped), CREATEMOVFILE_CREATE_FAILED);
    hooks = defaults;
    EXPECT_FALSE(fs::exists(swapped.destination));
    const auto left = Names(dir.path());
    ASSERT_EQ(left.size(), 1u);  // the other file, untouched under the name it was given
    EXPECT_EQ(Content(dir / left[0]), "16 bytes of his.");
    fs::remove(dir / left[0]);

    // No /proc and no right to link by descriptor: the partial file is used.
    hooks.procFdFolder = "/no-proc/self/fd";
    hooks.linkByDescriptor = false;
    Save noProc{dir / "no-proc.mov"};
    EXPECT_EQ(SaveCut(source, noProc), CREATEMOVFILE_OK);
    hooks = defaults;
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"no-proc.mov"});
    EXPECT_EQ(FfprobeErrors(noProc.destination), "");

    // The source rewritten in place while it is copied: nothing is named.
    const fs::path changing = dir / "changing-source.mov";
    fs::copy_file(source, changing);
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGXFSZ, nullptr, &before), 0);
    for (FinalFileKind kind : {FinalFileKind::Automatic, FinalFileKind::Partial}) {
        Save overwritten{dir / "overwritten.mov", 0.5, Save::OverwriteSource, kind, changing};
        int error = -1;
        EXPECT_EQ(SaveCut(changing, overwritten, &error), CREATEMOVFILE_SOURCE_CHANGED);
        EXPECT_EQ(error, 0);
        EXPECT_FALSE(fs::exists(overwritten.destination));
    }
    struct sigaction after {};
    ASSERT_EQ(::sigaction(SIGXFSZ, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
