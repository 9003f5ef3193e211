// Saving the edited movie: through the real progress dialog (offscreen), without a dialog through
// a progress receiver, with cancels at various moments, and the reference movie.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

#include "DocumentTestSupport.h"
#include "TestHarness.h"
#include "document/CBRVWrapper.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "module/Module.h"
#include "module/ModuleHelpers.h"
#include "save/CSaveProgressDlg.h"

using namespace brevio::engine;

namespace brevio {
namespace {

// The view's save: behind the module's progress dialog.
HRESULT SaveAs(CBRVWrapper& document, const QString& path) {
    return SaveBehindDialog(document, path, CSaveProgressDlg::Instance());
}

using test::FileExists;
using test::Q;
namespace fs = std::filesystem;

class RecordingSink : public IBRVModuleWrapperNotify {
public:
    void OnMovieSaved() override {
        calls.fetch_add(1);
        std::lock_guard lock(mutex);
        thread = std::this_thread::get_id();
    }
    std::atomic<int> calls{0};
    std::mutex mutex;
    std::thread::id thread;
};

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

class Save : public ::testing::Test {
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
    RecordingSink sink;
};

TEST_F(Save, ThroughTheProgressDialog) {
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

TEST_F(Save, CancelHalfWay) {
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

TEST_F(Save, EscapeIsCancel) {
    SlowDialogScope slow;
    const fs::path destination = dir / "escape.mov";
    auto answered = test::AnswerNextModal([](QWidget* modal) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(modal, &press);
    });
    EXPECT_EQ(SaveAs(*document, Q(destination)), E_FAIL);
    EXPECT_TRUE(*answered);
    document->Join();
    EXPECT_FALSE(FileExists(destination));
}

TEST_F(Save, TheCloseBoxIsCancel) {
    SlowDialogScope slow;
    const fs::path destination = dir / "closed.mov";
    auto answered = test::AnswerNextModal([](QWidget* modal) { modal->close(); });
    EXPECT_EQ(SaveAs(*document, Q(destination)), E_FAIL);
    EXPECT_TRUE(*answered);
    document->Join();
    EXPECT_FALSE(FileExists(destination));
}

TEST_F(Save, ReturnsAtOnceAfterACancelWhileTheWorkerRunsOn) {
    SlowDialogScope slow;
    const fs::path destination = dir / "early.mov";
    auto answered = test::AnswerNextModal(
        [](QWidget*) { CSaveProgressDlg::Instance()->CancelButton()->click(); });
    EXPECT_EQ(SaveAs(*document, Q(destination)), E_FAIL);
    ASSERT_TRUE(*answered);
    // Nobody waited for the worker: it is still to be joined.
    EXPECT_TRUE(document->IsStarted());
    document->Join();
    EXPECT_FALSE(FileExists(destination));
}

TEST_F(Save, CancelFollowedAtOnceByAnotherEditAndSave) {
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

TEST_F(Save, CancelFollowedAtOnceByDestroyingTheDocument) {
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

TEST_F(Save, CancelFollowedAtOnceByClosingTheDocument) {
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

TEST_F(Save, AnExistingDestinationIsNeitherOverwrittenNorDeleted) {
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

TEST_F(Save, ASecondSaveWhileTheDialogRunsIsRefused) {
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

TEST_F(Save, AClosedDocumentSavesNothingAndShowsNoDialog) {
    CBRVWrapper closed;
    auto shown = test::AnswerNextModal([](QWidget* modal) { modal->close(); }, 500);
    EXPECT_EQ(SaveAs(closed, Q(dir / "closed.mov")), S_OK);
    EXPECT_FALSE(*shown);
    EXPECT_FALSE(FileExists(dir / "closed.mov"));
    EXPECT_EQ(SaveAs(closed, QString()), E_POINTER);
    EXPECT_EQ(SaveAs(*document, QString()), E_POINTER);
}

// A progress receiver for saves without a dialog.
class RecordingProgress : public ISaveProgress {
public:
    void OnSaveProgress(int position) override {
        std::lock_guard lock(mutex);
        positions.push_back(position);
        threads.push_back(std::this_thread::get_id());
        if (cancelAt >= 0 && position >= cancelAt && document != nullptr) document->CancelSave();
    }
    void OnSaveEnded(int code) override {
        std::lock_guard lock(mutex);
        ends.push_back(code);
        if (cancelAtEnd && document != nullptr) cancelAccepted = document->CancelSave();
    }
    std::mutex mutex;
    std::vector<int> positions;
    std::vector<std::thread::id> threads;
    std::vector<int> ends;
    int cancelAt = -1;
    bool cancelAtEnd = false;
    bool cancelAccepted = true;
    CBRVWrapper* document = nullptr;
};

TEST_F(Save, WithoutDialogProgressIsCoalescedAndComesFromTheWorker) {
    RecordingProgress progress;
    ASSERT_EQ(document->SetNotifySink(&sink), S_OK);
    const fs::path destination = dir / "console.mov";
    EXPECT_EQ(document->SaveWithProgress(Q(destination), progress), S_OK);
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_EQ(progress.positions.back(), 100);
    for (size_t i = 1; i < progress.positions.size(); ++i)
        EXPECT_GT(progress.positions[i], progress.positions[i - 1]);
    for (const auto& id : progress.threads) EXPECT_NE(id, std::this_thread::get_id());
    EXPECT_EQ(progress.ends, std::vector<int>{kSaveWritten});
    EXPECT_EQ(sink.calls.load(), 1);
    EXPECT_EQ(testmovies::FfprobeErrors(destination), "");

    // Messages other than progress move nothing, but still answer the cancel.
    const size_t reported = progress.positions.size();
    const auto other = static_cast<EBrevioMovFileEditorProgressCallbackMessage>(2);
    EXPECT_EQ(CBRVWrapper::SaveProgressCallback(other, 0.3, document.get()),
              BrevioMovFileEditorContinue);
    EXPECT_EQ(progress.positions.size(), reported);
    EXPECT_EQ(CBRVWrapper::SaveProgressCallback(BrevioMovFileEditorProgress, 0.3, document.get()),
              BrevioMovFileEditorContinue);
    EXPECT_EQ(progress.positions.size(), reported + 1);
    EXPECT_EQ(progress.positions.back(), 30);
}

TEST_F(Save, WithoutDialogACancelHalfWayRemovesThePartialFile) {
    RecordingProgress progress;
    progress.cancelAt = 50;
    progress.document = document.get();
    ASSERT_EQ(document->SetNotifySink(&sink), S_OK);
    const fs::path destination = dir / "cancelled.mov";
    EXPECT_EQ(document->SaveWithProgress(Q(destination), progress), E_FAIL);
    EXPECT_EQ(document->LastSaveResult(), kSaveCancelled);
    EXPECT_FALSE(FileExists(destination));
    EXPECT_TRUE(progress.ends.empty());
    EXPECT_EQ(sink.calls.load(), 0);
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_LT(progress.positions.back(), 100);

    const auto other = static_cast<EBrevioMovFileEditorProgressCallbackMessage>(2);
    EXPECT_EQ(CBRVWrapper::SaveProgressCallback(other, 0.9, document.get()),
              BrevioMovFileEditorCancel);
}

TEST_F(Save, ACancelAfterTheWriteWasKeptChangesNothing) {
    RecordingProgress progress;
    progress.cancelAtEnd = true;
    progress.document = document.get();
    const fs::path destination = dir / "kept.mov";
    EXPECT_EQ(document->SaveWithProgress(Q(destination), progress), S_OK);
    EXPECT_FALSE(progress.cancelAccepted);
    EXPECT_TRUE(FileExists(destination));
}

TEST(SaveProgress, FractionsBecomeBarPositions) {
    EXPECT_EQ(CBRVWrapper::ProgressPosition(0.0), 0);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(0.505), 50);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(1.0), 100);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(0.999), 99);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(1.5), 100);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(-0.2), 0);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(std::nan("")), 0);
    EXPECT_EQ(CBRVWrapper::SaveProgressCallback(BrevioMovFileEditorProgress, 0.5, nullptr),
              BrevioMovFileEditorCancel);
}

TEST_F(Save, ReferenceMovie) {
    const fs::path reference = dir / "ref.mov";
    EXPECT_EQ(document->CreateReferenceMovie(QString()), E_POINTER);
    EXPECT_EQ(document->CreateReferenceMovie(QStringLiteral("")), E_FAIL);
    EXPECT_EQ(document->CreateReferenceMovie(Q(dir / "no-such-folder" / "ref.mov")), E_FAIL);
    CBRVWrapper closed;
    EXPECT_EQ(closed.CreateReferenceMovie(Q(reference)), E_FAIL);
    EXPECT_FALSE(FileExists(reference));

    ASSERT_EQ(document->CreateReferenceMovie(Q(reference)), S_OK);
    const auto unitsOf = [&] {
        CVarnoMovFile file(FileLocator(reference), CVarnoMovFile::Purpose::Playback);
        if (!file.IsValid()) return -1;
        CBrevioMovie movie(&file);
        return movie.IsValid() ? int(movie.GetShootingUnitCount()) : -2;
    };
    EXPECT_EQ(unitsOf(), 9);
    // Every rewrite replaces the same file.
    ASSERT_EQ(document->CutUnits({0, 1}), S_OK);
    ASSERT_EQ(document->CreateReferenceMovie(Q(reference)), S_OK);
    EXPECT_EQ(unitsOf(), 7);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace brevio
