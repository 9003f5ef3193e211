// A write that fails part-way: the file-size limit of this process stops the engine's writes
// (SIGXFSZ ignored, so the write fails with EFBIG). A test program of its own, so that the limit
// touches nothing else.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <QProgressBar>
#include <cerrno>
#include <cstring>

#include "SaveTestSupport.h"
#include "TestHarness.h"
#include "document/CBRVWrapper.h"
#include "module/ModuleHelpers.h"

namespace brevio {
namespace {

using test::FileExists;
using test::Q;
using test::SaveAs;
namespace fs = std::filesystem;

// Lowers the soft file-size limit while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        struct rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &previous_); }
    bool ok() const { return ok_; }

private:
    struct rlimit previous_ {};
    bool ok_ = false;
};

TEST(SaveWriteFailure, EndsWithMessage157AndItsReasonAndLeavesNoFile) {
    testmovies::MovieOptions options = test::TenUnits();
    const fs::path source = testmovies::MakeMovie(options);
    const QByteArray sourceHash = test::FileHash(source);
    const auto sourceSize = fs::file_size(source);
    testmovies::TempDir dir("doc-fsize");
    const fs::path destination = dir / "partial.mov";

    CBRVWrapper document;
    ASSERT_EQ(document.Open(Q(source)), 0);
    ASSERT_EQ(document.CutUnits({2}), S_OK);
    const QString caption = QStringLiteral("Brevio test caption");
    document.SetMessageCaption(&caption);
    CSaveProgressDlg* dialog = CSaveProgressDlg::Instance();
    ASSERT_NE(dialog, nullptr);
    int highest = 0;
    const auto connection =
        QObject::connect(dialog->ProgressBar(), &QProgressBar::valueChanged,
                         [&](int value) { highest = std::max(highest, value); });

    auto box = test::AnswerNextMessageBox(QMessageBox::Ok);
    HRESULT result = S_OK;
    {
        FileSizeLimit limit(sourceSize / 3);
        ASSERT_TRUE(limit.ok());
        result = SaveAs(document, Q(destination));
    }
    QObject::disconnect(connection);

    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(document.LastSaveResult(), kSaveFailed);
    EXPECT_TRUE(box->seen);
    // The message, and on its own line the system's reason.
    EXPECT_EQ(box->text, LoadString(157) + u'\n' + QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(box->title, caption);
    EXPECT_EQ(box->icon, QMessageBox::Warning);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_LT(highest, 100);  // it failed part-way
    EXPECT_FALSE(FileExists(destination));
    EXPECT_EQ(test::FileHash(source), sourceHash);
    // The document goes on: the edit is still there and a later save works.
    EXPECT_TRUE(document.IsEdited());
    EXPECT_EQ(SaveAs(document, Q(destination)), S_OK);
    EXPECT_EQ(testmovies::FfprobeErrors(destination), "");
}

}  // namespace
}  // namespace brevio
