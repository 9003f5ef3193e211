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

    // A runtime folder of this user with mode 0700 is preferred; one open to others, or of
    // another user, is not used, and nothing is made in it.
    test::TempDir runtime(QStringLiteral("runtime"));
    const QByteArray runtimeBytes = QFile::encodeName(runtime.path());
    {
        ASSERT_EQ(::chmod(runtimeBytes.constData(), 0700), 0);
        EnvironmentScope scopeRuntime("XDG_RUNTIME_DIR", runtime.path());
        CRefMovFile ref;
        ASSERT_TRUE(ref.MakeTempName());
        EXPECT_EQ(QFileInfo(ref.GetPath()).absolutePath(), runtime.path() + "/BrevioEdit");
        ASSERT_TRUE(QDir(runtime.path() + "/BrevioEdit").removeRecursively());
    }
    {
        ASSERT_EQ(::chmod(runtimeBytes.constData(), 0777), 0);
        EnvironmentScope scopeRuntime("XDG_RUNTIME_DIR", runtime.path());
        EXPECT_EQ(CRefMovFile::PrivateFolderPath(), folder);
        CRefMovFile ref;
        ASSERT_TRUE(ref.MakeTempName());
        EXPECT_EQ(QFileInfo(ref.GetPath()).absolutePath(), folder);
        EXPECT_EQ(QDir(runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{});
        ASSERT_EQ(::chmod(runtimeBytes.constData(), 0700), 0);
    }
    ASSERT_EQ(::chown(runtimeBytes.constData(), ::geteuid() + 1, -1) == 0, ::geteuid() == 0);
    if (::geteuid() == 0) {
        EnvironmentScope scopeRuntime("XDG_RUNTIME_DIR", runtime.path());
        EXPECT_EQ(CRefMovFile::PrivateFolderPath(), folder);
    }
}

// A temporary folder that cannot hold one gives an empty path and a reason; a fixed name taken by
// a folder open to everyone or a link gives a fresh private folder, removed with the object, and
// nothing is put in the planted entry.
TEST(CRefMovFile, UnusableFoldersFailWithAReasonTakenNamesGetAFreshFolder) {
    test::TempDir temp(QStringLiteral("refmov-fail"));
    const QString file = temp.file(QStringLiteral("plain-file"));
    std::ofstream(file.toStdString()) << "x";
    for (const QString& folder : {file,                                         // not a folder
                                  QStringLiteral("/") + QString(300, u'a')}) {  // too long
        TempFolderScope scope(folder);
        CRefMovFile ref;
        EXPECT_FALSE(ref.MakeTempName()) << folder.toStdString();
        EXPECT_TRUE(ref.GetPath().isEmpty());
        EXPECT_FALSE(ref.FailureReason().isEmpty());
    }
    test::TempDir shared(QStringLiteral("refmov-shared"));
    ASSERT_TRUE(QDir().mkdir(OwnFolder(shared.path())));
    ::chmod(QFile::encodeName(OwnFolder(shared.path())).constData(), 0777);
    test::TempDir target(QStringLiteral("refmov-target"));
    test::TempDir linked(QStringLiteral("refmov-link"));
    ASSERT_TRUE(QFile::link(target.path(), OwnFolder(linked.path())));
    for (const QString& folder : {shared.path(), linked.path()}) {
        TempFolderScope scope(folder);
        QString fresh;
        {
            CRefMovFile ref;
            ASSERT_TRUE(ref.MakeTempName()) << folder.toStdString();
            fresh = QFileInfo(ref.GetPath()).absolutePath();
            EXPECT_TRUE(fresh.startsWith(OwnFolder(folder) + u'-')) << fresh.toStdString();
            EXPECT_EQ(Mode(fresh), 0700u);
        }
        EXPECT_FALSE(QFileInfo::exists(fresh));
    }
    EXPECT_EQ(QDir(OwnFolder(shared.path())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{});
    EXPECT_EQ(QDir(target.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{});
}

// Reference movies left by an editor that was killed are removed when the folder is next used;
// one that a living object holds stays.
TEST(CRefMovFile, LeftoversOfAKilledEditorAreSwept) {
    test::TempDir temp(QStringLiteral("refmov-sweep"));
    TempFolderScope scope(temp.path());
    const QString folder = OwnFolder(temp.path());
    CRefMovFile living;
    ASSERT_TRUE(living.MakeTempName());
    const pid_t pid = ::fork();
    if (pid == 0) {
        CRefMovFile killed;
        ::_exit(killed.MakeTempName() ? 0 : 1);  // never destroyed: its file stays
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_EQ(status, 0);
    std::ofstream(QFile::encodeName(folder + QStringLiteral("/unrelated")).constData()) << "x";
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 3);
    CRefMovFile next;
    ASSERT_TRUE(next.MakeTempName());
    QStringList expected{QFileInfo(living.GetPath()).fileName(),
                         QFileInfo(next.GetPath()).fileName(), QStringLiteral("unrelated")};
    expected.sort();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
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
    // the victim refuses it, leaves nothing in it for the other user to replace or read, and
    // still gets a private folder of its own.
    const auto plant = [&](bool link) {
        return AsUser(kOther, [&] {
            const QByteArray path = QFile::encodeName(victimFolder);
            if (link) return ::symlink("/tmp", path.constData()) == 0;
            return ::mkdir(path.constData(), 0777) == 0 && ::chmod(path.constData(), 0777) == 0;
        });
    };
    for (bool link : {false, true}) {
        ASSERT_EQ(plant(link), 0);
        EXPECT_EQ(AsUser(kVictim, [] { return CRefMovFile().MakeTempName(); }), 0);
        if (!link) {
            EXPECT_EQ(QDir(victimFolder).entryList(QDir::Files), QStringList{});
        }
        QFile::remove(victimFolder);
        QDir(victimFolder).removeRecursively();
    }
}

}  // namespace
}  // namespace brevio
