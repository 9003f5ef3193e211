// brevioedit's open path, driven as a desktop user drives it: the open dialog (its start folder,
// its filter, the folder it remembers), the editing dialog with the host's caption, and the
// reasons the host gives for the movies it cannot open.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>
#include <QStringList>
#include <QTimer>
#include <string>

#include "DialogDriver.h"
#include "HostRun.h"
#include "HostText.h"
#include "MovieCheck.h"
#include "OpenDialog.h"
#include "TestHarness.h"
#include "testmovies/TestMovies.h"

namespace brevioedit {
namespace {

using brevio::driver::AnswerNext;
using brevio::driver::DialogDriver;
using brevio::driver::FindEditDialog;
using brevio::driver::WaitUntil;

constexpr int kTimeoutMs = 60000;
constexpr int kCancel = 1006;

// Sets an environment variable while it lives.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value) : name_(name), old_(qgetenv(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~ScopedEnv() {
        if (old_.isNull()) {
            qunsetenv(name_);
        } else {
            qputenv(name_, old_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    QByteArray old_;
};

// The superuser reads every file: while this lives, the process reads as an ordinary user does
// (the effective DAC capabilities dropped, the permitted ones kept to restore them).
class OrdinaryReader {
public:
    OrdinaryReader() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct dropped[2] = {saved_[0], saved_[1]};
        dropped[0].effective &=
            ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH) | (1U << CAP_FOWNER));
        active_ = ::syscall(SYS_capset, &header_, dropped) == 0;
    }
    ~OrdinaryReader() {
        if (active_) ::syscall(SYS_capset, &header_, saved_);
    }
    OrdinaryReader(const OrdinaryReader&) = delete;
    OrdinaryReader& operator=(const OrdinaryReader&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

QString Copy(const brevio::testmovies::MovieOptions& options, const QString& to) {
    brevio::testmovies::CopyMovie(brevio::testmovies::MakeMovie(options), to.toStdString());
    return to;
}

// The names the open dialog lists in its current folder.
QStringList Listed(QFileDialog* dialog) {
    QStringList names;
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (view == nullptr || view->model() == nullptr) return names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row)
        names += view->model()->index(row, 0, root).data().toString();
    return names;
}

// Answers the next open dialog: records where it starts and what it lists there, then chooses
// `movie` (or cancels for an empty one).
std::shared_ptr<bool> AnswerOpen(const QString& movie, QString& startFolder, QStringList& listed) {
    return AnswerNext<QFileDialog>(
        [movie, &startFolder, &listed](QFileDialog* dialog) {
            startFolder = dialog->directory().absolutePath();
            // The folder is read in the background.
            WaitUntil([&] { return !Listed(dialog).isEmpty(); }, 5000);
            brevio::driver::Pause(300);
            listed = Listed(dialog);
            if (movie.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(QFileInfo(movie).absolutePath());
            if (auto* edit = dialog->findChild<QLineEdit*>())
                edit->setText(QFileInfo(movie).fileName());
            QMetaObject::invokeMethod(dialog, "accept");
        },
        kTimeoutMs);
}

TEST(Host, OpensTheChosenMovieRemembersItsFolderAndNamesWhyAMovieFails) {
    const brevio::test::TempDir dir(QStringLiteral("host"));
    const QString home = dir.file(QStringLiteral("home"));
    const QString videos = home + QStringLiteral("/Videos");
    const QString trip = home + QStringLiteral("/trip");
    const QString tmp = dir.file(QStringLiteral("tmp"));
    const QString runtime = dir.file(QStringLiteral("run"));
    for (const QString& folder : {videos, trip, tmp, runtime}) ASSERT_TRUE(QDir().mkpath(folder));
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const ScopedEnv homeEnv("HOME", home);
    const ScopedEnv configEnv("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    const ScopedEnv tmpEnv("TMPDIR", tmp);
    const ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", runtime);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       home + QStringLiteral("/.config"));

    brevio::testmovies::MovieOptions brevioMovie;
    brevioMovie.units = 6;
    Copy(brevioMovie, videos + QStringLiteral("/OLD.MOV"));
    QFile(videos + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);
    const QString movie = Copy(brevioMovie, trip + QStringLiteral("/day.mov"));

    // From the menu: the open dialog starts in Videos and lists QuickTime movies in any case; the
    // movie chosen elsewhere opens under the host's caption.
    QString startFolder;
    QStringList listed;
    QString caption;
    auto opened = AnswerOpen(movie, startFolder, listed);
    // Polled rather than waited for: the open dialog's own loop runs first.
    QTimer editor;
    QObject::connect(&editor, &QTimer::timeout, [&] {
        if (FindEditDialog() == nullptr) return;
        editor.stop();
        DialogDriver driver(FindEditDialog());
        caption = driver.Dialog()->windowTitle();
        driver.ClickButton(kCancel);
    });
    editor.start(50);
    EXPECT_EQ(RunHost({}), 1);  // the editing dialog was cancelled
    EXPECT_TRUE(*opened);
    EXPECT_EQ(startFolder.toStdString(), videos.toStdString());
    EXPECT_EQ(listed, QStringList{QStringLiteral("OLD.MOV")});
    EXPECT_EQ(caption, Text(HostText::Caption).arg(QStringLiteral("day.mov")));
    EXPECT_EQ(caption, QStringLiteral("day.mov – Brevio Edit"));

    // The next start is in the folder last opened; Cancel there ends the host with 1.
    auto cancelled = AnswerOpen(QString(), startFolder, listed);
    EXPECT_EQ(RunHost({}), 1);
    EXPECT_TRUE(*cancelled);
    EXPECT_EQ(startFolder.toStdString(), trip.toStdString());
    EXPECT_EQ(listed, QStringList{QStringLiteral("day.mov")});

    // Each movie the call refuses gets its own reason, naming the file.
    const QString missing = trip + QStringLiteral("/gone.mov");
    const QString text = trip + QStringLiteral("/letter.mov");
    QFile letter(text);
    ASSERT_TRUE(letter.open(QIODevice::WriteOnly));
    letter.write(QByteArray("Dear diary, today I filmed nothing at all.\n").repeated(20));
    letter.close();
    brevio::testmovies::MovieOptions plainMovie;
    plainMovie.plain = true;
    const QString plain = Copy(plainMovie, trip + QStringLiteral("/plain.mov"));
    const QString truncated = Copy(brevioMovie, trip + QStringLiteral("/cut.mov"));
    const qint64 fullSize = QFileInfo(truncated).size();
    ASSERT_TRUE(QFile::resize(truncated, fullSize / 2));
    const QString locked = Copy(brevioMovie, trip + QStringLiteral("/locked.mov"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));

    const auto reason = [](const QString& path) {
        Options options;
        options.movie = path;
        const int result = RunHost(options);
        return DescribeOpenFailure(result, path);
    };
    EXPECT_EQ(reason(missing), Text(HostText::NoSuchFile).arg(missing));
    EXPECT_EQ(reason(trip), Text(HostText::Folder).arg(trip));
    EXPECT_EQ(reason(text), Text(HostText::NotQuickTime).arg(text));
    EXPECT_EQ(reason(plain), Text(HostText::NotBrevio).arg(plain));
    const QString damaged = reason(truncated);
    EXPECT_TRUE(damaged.startsWith(Text(HostText::Damaged).arg(truncated, QString())))
        << damaged.toStdString();
    // What was found: the part cut short (the media data in the middle of the file).
    EXPECT_TRUE(damaged.contains(QStringLiteral("“mdat”")) ||
                damaged.contains(QStringLiteral("(moov)")))
        << damaged.toStdString();
    {
        const OrdinaryReader reader;
        EXPECT_EQ(reason(locked), Text(HostText::PermissionDenied).arg(locked));
    }
    // The texts are the host's Chinese ones in this (the neutral) locale.
    EXPECT_TRUE(Text(HostText::Folder).contains(QStringLiteral("文件夹")));

    // Nothing went to the temporary folder.
    EXPECT_EQ(QDir(tmp).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList());
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brevioedit"),
                        QStringLiteral("brevioedit"))
                  .value(QStringLiteral("open/folder"))
                  .toString()
                  .toStdString(),
              trip.toStdString());
}

}  // namespace
}  // namespace brevioedit
