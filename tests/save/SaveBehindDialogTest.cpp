// Saving the edited movie behind the module's progress dialog (offscreen), as the view saves: the
// dialog's texts and bar, cancels at various moments (button, Escape, close box), and what the
// document may do right after a cancel.
#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

#include "SaveTestSupport.h"
#include "TestHarness.h"
#include "document/CBRVWrapper.h"
#include "module/Module.h"
#include "module/ModuleHelpers.h"

using namespace brevio::engine;

namespace brevio {
namespace {

using test::FileExists;
using test::Q;
using test::SaveAs;
namespace fs = std::filesystem;

// A progress dialog whose worker-side progress is slow, so that a test can act half-way.
class SlowProgressDlg : public CSaveProgressDlg {
public:
    void OnSaveProgress(int position) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(8));
        CSaveProgressDlg::OnSaveProgress(position);
    }
};

// Installs the slow dialog as the module's dialog for one test.
class SlowDialogScope {
public:
    SlowDialogScope() {
        Module::Instance().SetSaveProgressDialogFactory(
            [] { return std::unique_ptr<QObject>(std::make_unique<SlowProgressDlg>()); });
    }
    ~SlowDialogScope() { CSaveProgressDlg::RegisterWithModule(); }
};

// Counts the progress messages the dialog receives.
class PositionCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (static_cast<uint32_t>(event->type()) == CSaveProgressDlg::kMsgSetPos) ++count;
        return false;
    }
    int count = 0;
};

// Clicks Cancel on the running progress dialog once its bar reaches `position`.
class CancelAt : public QObject {
public:
    explicit CancelAt(int position) {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, this, [this, position] {
            CSaveProgressDlg* dialog = CSaveProgressDlg::Instance();
            if (dialog == nullptr || !dialog->isVisible()) return;
            if (dialog->ProgressBar()->value() < position) return;
            barAtCancel = dialog->ProgressBar()->value();
            timer_.stop();
            dialog->CancelButton()->click();
        });
        timer_.start();
    }
    int barAtCancel = -1;

private:
    QTimer timer_;
};

class SaveBehindDialog : public ::testing::Test {
protected:
    void SetUp() override {
        source = testmovies::MakeMovie(test::TenUnits());
        ASSERT_EQ(document->Open(Q(source)), 0);
        ASSERT_EQ(document->CutUnits({3}), S_OK);
    }
    // No message box may be left waiting: any box that shows up is answered.
    bool MessageBoxShownWithin(int ms) {
        auto box = test::AnswerNextMessageBox(QMessageBox::Ok, ms);
        test::WaitUntil([&] { return box->seen; }, ms + 100);
        return box->seen;
    }
    fs::path source;
    testmovies::TempDir dir{"doc-save"};
    std::unique_ptr<CBRVWrapper> document = std::make_unique<CBRVWrapper>();
    test::RecordingSink sink;
};

TEST_F(SaveBehindDialog, ThroughTheProgressDialog) {
    const fs::path destination = dir / "trip.mov";
    const QByteArray sourceHash = test::FileHash(source);
    ASSERT_EQ(document->SetNotifySink(&sink), S_OK);
    EXPECT_EQ(document->SetNotifySink(nullptr), S_FALSE);  // keeps the receiver

    CSaveProgressDlg* dialog = CSaveProgressDlg::Instance();
    ASSERT_NE(dialog, nullptr);
    int highest = -1;
    const auto connection =
        QObject::connect(dialog->ProgressBar(), &QProgressBar::valueChanged,
                         [&](int value) { highest = std::max(highest, value); });
    PositionCounter counter;
    dialog->installEventFilter(&counter);

    EXPECT_EQ(SaveAs(*document, Q(destination)), S_OK);
    dialog->removeEventFilter(&counter);
    QObject::disconnect(connection);

    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(highest, 100);
    EXPECT_EQ(dialog->ProgressBar()->value(), 100);
    // Posted only when the percentage changes: at most 101 positions.
    EXPECT_GE(counter.count, 1);
    EXPECT_LE(counter.count, 101);
    EXPECT_EQ(dialog->FileNameLine()->text(), QStringLiteral("trip.mov"));
    EXPECT_EQ(dialog->windowTitle(), LoadString(128));
    EXPECT_EQ(dialog->CancelButton()->text(), LoadString(154));
    EXPECT_EQ(dialog->MessageLine()->text(), LoadString(156));
    EXPECT_EQ(document->LastSaveResult(), kSaveWritten);

    EXPECT_EQ(sink.calls.load(), 1);
    {
        std::lock_guard lock(sink.mutex);
        EXPECT_NE(sink.thread, std::this_thread::get_id());
    }
    EXPECT_FALSE(MessageBoxShownWithin(100));

    // The result is a valid Brevio movie of the edited state, and the source is untouched.
    ASSERT_TRUE(FileExists(destination));
    EXPECT_EQ(testmovies::FfprobeErrors(destination), "");
#ifdef BREVIO_TOOL_PATH
    const auto info = testmovies::RunCommand({BREVIO_TOOL_PATH, "info", destination.string()});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("units: 9"), std::string::npos) << info.out;
#endif
    CBRVWrapper saved;
    ASSERT_EQ(saved.Open(Q(destination)), 0);
    EXPECT_EQ(saved.GetUnitCount(), 9u);
    EXPECT_FALSE(saved.IsEdited());
    EXPECT_EQ(test::FileHash(source), sourceHash);

    // A save changes neither the history nor the edited flag.
    EXPECT_TRUE(document->IsEdited());
    EXPECT_EQ(document->GetHistorySize(), 2u);
    EXPECT_TRUE(document->CanUndo());
}

TEST_F(SaveBehindDialog, CancelHalfWay) {
    SlowDialogScope slow;
    ASSERT_EQ(document->SetNotifySink(&sink), S_OK);
    const fs::path destination = dir / "half.mov";
    CancelAt cancel(50);

    EXPECT_EQ(SaveAs(*document, Q(destination)), E_FAIL);
    EXPECT_GE(cancel.barAtCancel, 50);
    EXPECT_LT(cancel.barAtCancel, 100);
    ASSERT_NE(CSaveProgressDlg::Instance(), nullptr);
    EXPECT_FALSE(CSaveProgressDlg::Instance()->isVisible());
    EXPECT_FALSE(MessageBoxShownWithin(200));

    document->Join();
    EXPECT_EQ(document->LastSaveResult(), kSaveCancelled);
    EXPECT_FALSE(FileExists(destination));
    EXPECT_EQ(sink.calls.load(), 0);
}

// The Cancel button, Escape and the close box each cancel; the call returns at once, without
// waiting for the worker, and nothing is saved.
TEST_F(SaveBehindDialog, EveryWayOfCancellingReturnsAtOnceAndSavesNothing) {
    const struct {
        const char* way;
        std::function<void(QWidget*)> cancel;
    } ways[] = {
        {"button", [](QWidget*) { CSaveProgressDlg::Instance()->CancelButton()->click(); }},
        {"escape", [](QWidget* modal) { driver::PressKey(modal, Qt::Key_Escape); }},
        {"close box", [](QWidget* modal) { modal->close(); }},
    };
    for (const auto& [way, cancel] : ways) {
        SCOPED_TRACE(way);
        SlowDialogScope slow;
        const fs::path destination = dir / (std::string(way) + ".mov");
        auto answered = test::AnswerNextModal(cancel);
        EXPECT_EQ(SaveAs(*document, Q(destination)), E_FAIL);
        ASSERT_TRUE(*answered);
        // Nobody waited for the worker: it is still to be joined.
        EXPECT_TRUE(document->IsStarted());
        document->Join();
        EXPECT_FALSE(FileExists(destination));
    }
}

TEST_F(SaveBehindDialog, CancelFollowedAtOnceByAnotherEditAndSave) {
    SlowDialogScope slow;
    ASSERT_EQ(document->SetNotifySink(&sink), S_OK);
    const fs::path first = dir / "first.mov";
    const fs::path second = dir / "second.mov";
    auto answered = test::AnswerNextModal(
        [](QWidget*) { CSaveProgressDlg::Instance()->CancelButton()->click(); });
    EXPECT_EQ(SaveAs(*document, Q(first)), E_FAIL);
    ASSERT_TRUE(*answered);
    // Edit and save again straight away: both wait for the cancelled worker first.
    ASSERT_EQ(document->CutUnits({0}), S_OK);
    EXPECT_EQ(SaveAs(*document, Q(second)), S_OK);
    EXPECT_FALSE(FileExists(first));
    ASSERT_TRUE(FileExists(second));
    EXPECT_EQ(sink.calls.load(), 1);
    CBRVWrapper saved;
    ASSERT_EQ(saved.Open(Q(second)), 0);
    EXPECT_EQ(saved.GetUnitCount(), 8u);
}

TEST_F(SaveBehindDialog, CancelFollowedAtOnceByDestroyingTheDocument) {
    SlowDialogScope slow;
    const fs::path destination = dir / "gone.mov";
    auto answered = test::AnswerNextModal(
        [](QWidget*) { CSaveProgressDlg::Instance()->CancelButton()->click(); });
    EXPECT_EQ(SaveAs(*document, Q(destination)), E_FAIL);
    ASSERT_TRUE(*answered);
    document.reset();  // waits for the worker, which removes its file
    EXPECT_FALSE(FileExists(destination));
    // The shared dialog forgot the document.
    EXPECT_EQ(CSaveProgressDlg::Instance()->GetWorker(), nullptr);
}

TEST_F(SaveBehindDialog, CancelFollowedAtOnceByClosingTheDocument) {
    SlowDialogScope slow;
    const fs::path destination = dir / "closing.mov";
    auto answered = test::AnswerNextModal(
        [](QWidget*) { CSaveProgressDlg::Instance()->CancelButton()->click(); });
    EXPECT_EQ(SaveAs(*document, Q(destination)), E_FAIL);
    ASSERT_TRUE(*answered);
    EXPECT_EQ(document->Close(), 0);
    EXPECT_FALSE(document->IsStarted());
    EXPECT_FALSE(FileExists(destination));
}

TEST_F(SaveBehindDialog, AnExistingDestinationIsNeitherOverwrittenNorDeleted) {
    // The file appears after the Save-As check, before the write.
    const fs::path destination = dir / "taken.mov";
    std::ofstream(destination) << "someone else's file";
    const QString caption = QStringLiteral("Host caption");
    document->SetMessageCaption(&caption);
    ASSERT_EQ(document->SetNotifySink(&sink), S_OK);

    auto box = test::AnswerNextMessageBox(QMessageBox::Ok);
    EXPECT_EQ(SaveAs(*document, Q(destination)), E_FAIL);
    EXPECT_TRUE(box->seen);
    EXPECT_EQ(box->text, LoadString(157) + u'\n' + QString::fromLocal8Bit(std::strerror(EEXIST)));
    EXPECT_EQ(box->title, caption);
    EXPECT_EQ(box->icon, QMessageBox::Warning);
    EXPECT_EQ(document->LastSaveResult(), kSaveFailed);
    EXPECT_EQ(document->LastWriteResult(), CREATEMOVFILE_DESTINATION_EXISTS);
    EXPECT_EQ(sink.calls.load(), 0);
    std::ifstream in(destination);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "someone else's file");
}

TEST_F(SaveBehindDialog, ASecondSaveWhileTheDialogRunsIsRefused) {
    SlowDialogScope slow;
    CBRVWrapper other;
    ASSERT_EQ(other.Open(Q(source)), 0);
    HRESULT nested = S_OK;
    auto answered = test::AnswerNextModal([&](QWidget*) {
        nested = SaveAs(other, Q(dir / "nested.mov"));
        CSaveProgressDlg::Instance()->CancelButton()->click();
    });
    EXPECT_EQ(SaveAs(*document, Q(dir / "outer.mov")), E_FAIL);
    ASSERT_TRUE(*answered);
    EXPECT_EQ(nested, E_FAIL);
    EXPECT_EQ(CSaveProgressDlg::Instance()->GetWorker(), nullptr);  // kept by no run
    document->Join();
    EXPECT_FALSE(FileExists(dir / "nested.mov"));
    EXPECT_FALSE(FileExists(dir / "outer.mov"));
}

TEST_F(SaveBehindDialog, AClosedDocumentSavesNothingAndShowsNoDialog) {
    CBRVWrapper closed;
    auto shown = test::AnswerNextModal([](QWidget* modal) { modal->close(); }, 500);
    EXPECT_EQ(SaveAs(closed, Q(dir / "closed.mov")), S_OK);
    EXPECT_FALSE(*shown);
    EXPECT_FALSE(FileExists(dir / "closed.mov"));
    EXPECT_EQ(SaveAs(closed, QString()), E_POINTER);
    EXPECT_EQ(SaveAs(*document, QString()), E_POINTER);
}

}  // namespace
}  // namespace brevio
