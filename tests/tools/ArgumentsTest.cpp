// The brevio command line as a whole: help and version, unknown options, names that are not
// UTF-8.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

namespace brevio::tooltest {
namespace {

using namespace brevio::testmovies;
namespace fs = std::filesystem;

TEST(CommandLine, HelpVersionAndUnknownOptions) {
    auto version = Brevio({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "brevio 2.1.0.10\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"thumb", "--help"}}) {
        auto r = Brevio(args);
        EXPECT_EQ(r.exitCode, 0) << args[0];
        EXPECT_NE(r.out.find("thumb"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
    // Every command's own arguments are complete: what is wrong is the unknown option alone.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", "x.mov"},
                                                 {"cut", "x.mov", "-r", "1", "-o", "y.mov"},
                                                 {"make", "--synthetic", "1", "y.mov"},
                                                 {"frame", "x.mov", "--at", "1", "-o", "y.png"},
                                                 {"thumb", "x.mov", "--at", "1", "-o", "y.png"}}) {
        std::vector<std::string> bogus = args;
        bogus.push_back("--bogus");
        auto r = Brevio(bogus);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("--bogus"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: brevio " + args[0]), std::string::npos) << r.err;
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--bogus"}, {"frobnicate"}}) {
        auto r = Brevio(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("usage: brevio COMMAND"), std::string::npos) << r.err;
    }
}

// A file name is the bytes of argv, whatever the locale makes of them.
TEST(CommandLine, KeepsNamesThatAreNotUtf8) {
    TempDir dir("args");
    const std::string name = (dir / "caf\xe9-\xff.mov").string();
    auto r = Brevio({"make", "--synthetic", "1", "--unit-seconds", "0.5", "--size", "64x48",
                     "--audio", "none", name});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(fs::path(name)));
    const std::string missing = (dir / "\xfe\xff-missing.mov").string();
    r = Brevio({"info", missing});
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
}

}  // namespace
}  // namespace brevio::tooltest
