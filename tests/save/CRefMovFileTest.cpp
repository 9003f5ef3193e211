// The temporary reference-movie path: chosen once in the user's private folder, unique, deleted
// with the object; a folder that another user made or shares is never used.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <fstream>
#include <functional>

#include "TestHarness.h"
#include "save/CRefMovFile.h"

namespace brevio {
namespace {

// Sets (or, for a null text, unsets) an environment variable while it lives.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const QString& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, QFile::encodeName(value));
        }
    }
    ~EnvironmentScope() {
        if (had_) {
            qputenv(name_, previous_);
        } else {
            qunsetenv(name_);
        }
    }

private:
    const char* name_;
    bool had_;
    QByteArray previous_;
};

// TMPDIR pointed at a folder of the test, without a runtime folder.
struct TempFolderScope {
    explicit TempFolderScope(const QString& folder) : temp("TMPDIR", folder) {}
    EnvironmentScope temp;
    EnvironmentScope runtime{"XDG_RUNTIME_DIR", QString()};
};

QString OwnFolder(const QString& temp) {
    return temp + QStringLiteral("/BrevioEdit-") + QString::number(::geteuid());
}

mode_t Mode(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(CRefMovFile, PrivateFolderPrivateFilesUniqueNamesDeletedWithTheObject) {
    test::TempDir temp(QStringLiteral("refmov"));
    TempFolderScope scope(temp.path());
    const QString folder = OwnFolder(temp.path());
    QString firstPath, secondPath;
    std::vector<std::unique_ptr<CRefMovFile>> many;
    QSet<QString> paths;
    {
        CRefMovFile first;
        CRefMovFile second;
        EXPECT_TRUE(first.GetPath().isEmpty());
        ASSERT_TRUE(first.MakeTempName());
        ASSERT_TRUE(second.MakeTempName());
        firstPath = first.GetPath();
        secondPath = second.GetPath();
        const QRegularExpression name(QStringLiteral("^BRV[0-9A-F]{4}\\.mov$"));
        for (const QString& path : {firstPath, secondPath}) {
            const QFileInfo info(path);
            EXPECT_EQ(info.absolutePath(), folder);
            EXPECT_TRUE(name.match(info.fileName()).hasMatch()) << info.fileName().toStdString();
            EXPECT_EQ(Mode(path), 0600u);
        }
        EXPECT_EQ(Mode(folder), 0700u);
        // The path is chosen once.
        ASSERT_TRUE(first.MakeTempName());
        EXPECT_EQ(first.GetPath(), firstPath);
        for (int i = 0; i < 50; ++i) {
            many.push_back(std::make_unique<CRefMovFile>());
            ASSERT_TRUE(many.back()->MakeTempName());
            paths.insert(many.back()->GetPath());
        }
        paths.insert(firstPath);
        paths.insert(secondPath);
        EXPECT_EQ(paths.size(), 52);
        many.clear();
        // No temporary .tmp names are left behind, and the 50 are gone.
        EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
        EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.tmp")}, QDir::Files), QStringList{});
        // The file written there is removed with the object.
        std::ofstream(firstPath.toStdString()) << "reference movie";
    }
    EXPECT_FALSE(QFile::exists(firstPath));
    EXPECT_FALSE(QFile::exists(secondPath));  // never written: deleted quietly
    EXPECT_TRUE(QFileInfo(folder).isDir());   // the folder stays

    // A runtime folder of this user is preferred; one of another user is not used.
    test::TempDir runtime(QStringLiteral("runtime"));
    {
        EnvironmentScope scopeRuntime("XDG_RUNTIME_DIR", runtime.path());
        CRefMovFile ref;
        ASSERT_TRUE(ref.MakeTempName());
        EXPECT_EQ(QFileInfo(ref.GetPath()).absolutePath(), runtime.path() + "/BrevioEdit");
    }
    ASSERT_EQ(::chown(QFile::encodeName(runtime.path()).constData(), ::geteuid() + 1, -1) == 0,
              ::geteuid() == 0);
    if (::geteuid() == 0) {
        EnvironmentScope scopeRuntime("XDG_RUNTIME_DIR", runtime.path());
        EXPECT_EQ(CRefMovFile::PrivateFolderPath(), folder);
    }
}

TEST(CRefMovFile, UnusableFoldersLeaveAnEmptyPath) {
    test::TempDir temp(QStringLiteral("refmov-fail"));
    const QString file = temp.file(QStringLiteral("plain-file"));
    std::ofstream(file.toStdString()) << "x";
    test::TempDir shared(QStringLiteral("refmov-shared"));
    ASSERT_TRUE(QDir().mkdir(OwnFolder(shared.path())));
    ::chmod(QFile::encodeName(OwnFolder(shared.path())).constData(), 0777);
    test::TempDir linked(QStringLiteral("refmov-link"));
    ASSERT_TRUE(QFile::link(temp.path(), OwnFolder(linked.path())));
    for (const QString& folder : {file,                                      // a file, not a folder
                                  QStringLiteral("/") + QString(300, u'a'),  // too long
                                  shared.path(),                             // open to everyone
                                  linked.path()}) {                          // a link to a folder
        TempFolderScope scope(folder);
        CRefMovFile ref;
        EXPECT_FALSE(ref.MakeTempName()) << folder.toStdString();
        EXPECT_TRUE(ref.GetPath().isEmpty());
    }
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files), QStringList{"plain-file"});
}

// Runs `body` as another user in a child process; its result is the child's exit code (0 for
// true). The test process must be the superuser.
int AsUser(uid_t uid, const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(2);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
}

TEST(CRefMovFile, TwoUsersShareATemporaryFolderSafely) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the superuser to act as two other users";
    test::TempDir temp(QStringLiteral("refmov-users"));
    ASSERT_EQ(::chmod(QFile::encodeName(temp.path()).constData(), 01777), 0);
    TempFolderScope scope(temp.path());
    constexpr uid_t kVictim = 65534, kOther = 65533;
    const QString victimFolder = temp.path() + QStringLiteral("/BrevioEdit-65534");

    // The superuser's own run leaves its private folder; the other user still gets one.
    CRefMovFile rootRef;
    ASSERT_TRUE(rootRef.MakeTempName());
    EXPECT_EQ(AsUser(kVictim, [] { return CRefMovFile().MakeTempName(); }), 0);
    EXPECT_EQ(Mode(victimFolder), 0700u);
    ASSERT_TRUE(QDir(victimFolder).removeRecursively());

    // Another user makes the victim's folder first, open to everyone, or plants a link there:
    // the victim refuses it and leaves nothing in it for the other user to replace or read.
    const auto plant = [&](bool link) {
        return AsUser(kOther, [&] {
            const QByteArray path = QFile::encodeName(victimFolder);
            if (link) return ::symlink("/tmp", path.constData()) == 0;
            return ::mkdir(path.constData(), 0777) == 0 && ::chmod(path.constData(), 0777) == 0;
        });
    };
    for (bool link : {false, true}) {
        ASSERT_EQ(plant(link), 0);
        EXPECT_EQ(AsUser(kVictim, [] { return CRefMovFile().MakeTempName(); }), 1);
        if (!link) {
            EXPECT_EQ(QDir(victimFolder).entryList(QDir::Files), QStringList{});
        }
        QFile::remove(victimFolder);
        QDir(victimFolder).removeRecursively();
    }
}

}  // namespace
}  // namespace brevio
