// The save progress dialog on the offscreen platform: its items and texts, the worker it starts,
// progress and end from the worker's thread, Cancel, Escape and the close box, centring.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "TestHarness.h"
#include "module/ModuleHelpers.h"
#include "save/CSaveProgressDlg.h"

namespace brevio {
namespace {

// A worker whose body is given by the test.
class Worker : public CThreadBase {
public:
    explicit Worker(std::function<void()> body) : body_(std::move(body)) {}
    ~Worker() override { Join(); }
    std::atomic<bool> ran{false};
    std::thread::id thread;

protected:
    uint32_t Run() override {
        thread = std::this_thread::get_id();
        ran = true;
        body_();
        return 0;
    }

private:
    std::function<void()> body_;
};

TEST(SaveProgressDlg, ShowsTheFileNameAndTheTextsOfTheStringTable) {
    CSaveProgressDlg dialog;
    ASSERT_EQ(dialog.SetPath(QStringLiteral("/some/folder/trip.mov")), S_OK);
    EXPECT_EQ(dialog.SetPath(QString()), E_POINTER);
    EXPECT_EQ(dialog.GetPath(), QStringLiteral("/some/folder/trip.mov"));

    QString title, fileName, message, cancel;
    int value = -1, minimum = -1, maximum = -1;
    auto answered = test::AnswerNextModal([&](QWidget* modal) {
        title = modal->windowTitle();
        fileName = dialog.FileNameLine()->text();
        message = dialog.MessageLine()->text();
        cancel = dialog.CancelButton()->text();
        value = dialog.ProgressBar()->value();
        minimum = dialog.ProgressBar()->minimum();
        maximum = dialog.ProgressBar()->maximum();
        driver::PressKey(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(nullptr), 2);
    ASSERT_TRUE(*answered);
    EXPECT_EQ(title, LoadString(128));
    EXPECT_EQ(fileName, QStringLiteral("trip.mov"));
    EXPECT_EQ(message, LoadString(156));
    EXPECT_EQ(cancel, LoadString(154));
    EXPECT_EQ(value, 0);
    EXPECT_EQ(minimum, 0);
    EXPECT_EQ(maximum, 100);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(SaveProgressDlg, ItemsFollowTheTemplate) {
    CSaveProgressDlg dialog;
    const int ids[] = {1001, 2, 1005, 1004};
    QList<QWidget*> items;
    for (int id : ids) {
        auto* item = dialog.findChild<QWidget*>(QStringLiteral("item%1").arg(id));
        ASSERT_NE(item, nullptr) << id;
        EXPECT_TRUE(dialog.rect().contains(item->geometry())) << id;
        items.append(item);
    }
    // Template order is the order of the children.
    QList<QWidget*> children = dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_GE(children.size(), 4);
    EXPECT_EQ(children.mid(0, 4), items);
    // From the top: the file name, the message, the bar, the button; the button centred.
    EXPECT_LT(dialog.FileNameLine()->geometry().bottom(), dialog.MessageLine()->geometry().top());
    EXPECT_LE(dialog.MessageLine()->geometry().bottom(), dialog.ProgressBar()->geometry().top());
    EXPECT_LE(dialog.ProgressBar()->geometry().bottom(), dialog.CancelButton()->geometry().top());
    const int buttonCentre = dialog.CancelButton()->geometry().center().x();
    EXPECT_NEAR(buttonCentre, dialog.width() / 2, 3);
    EXPECT_TRUE(dialog.CancelButton()->isDefault());
    // 257 x 100 dialog units: wider than twice its height.
    EXPECT_GT(dialog.width(), 2 * dialog.height());
}

TEST(SaveProgressDlg, CaptionIsTheGivenTextOrTheDefault) {
    CSaveProgressDlg dialog;
    const QString caption = QStringLiteral("Host caption");
    dialog.SetCaption(&caption);
    EXPECT_EQ(dialog.GetCaption(), caption);
    QString title;
    auto answered = test::AnswerNextModal([&](QWidget* modal) {
        title = modal->windowTitle();
        modal->close();  // the close box is Cancel
    });
    EXPECT_EQ(dialog.DoModal(nullptr), 2);
    EXPECT_EQ(title, caption);
    dialog.SetCaption(nullptr);
    EXPECT_EQ(dialog.GetCaption(), LoadString(128));
}

TEST(SaveProgressDlg, StartsItsWorkerWhichReportsAndEndsItFromItsOwnThread) {
    CSaveProgressDlg dialog;
    dialog.SetPath(QStringLiteral("/tmp/x.mov"));
    std::atomic<bool> windowSeen{false};
    Worker worker([&] {
        windowSeen = dialog.IsWindow();
        dialog.SetProgress(150);  // kept within the range
        dialog.SetProgress(-3);
        dialog.SetProgress(40);
        dialog.EndDialog(3);
    });
    dialog.SetWorker(&worker);
    int highest = -1, lowest = 1000;
    QObject::connect(dialog.ProgressBar(), &QProgressBar::valueChanged, [&](int value) {
        highest = std::max(highest, value);
        lowest = std::min(lowest, value);
    });
    EXPECT_EQ(dialog.DoModal(nullptr), 3);
    worker.Join();
    EXPECT_TRUE(worker.ran);
    EXPECT_NE(worker.thread, std::this_thread::get_id());
    EXPECT_TRUE(windowSeen);
    EXPECT_EQ(highest, 100);
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(dialog.ProgressBar()->value(), 40);
    EXPECT_FALSE(dialog.IsWindow());

    // Once the dialog has ended, the worker's calls change nothing.
    Worker late([&] {
        dialog.SetProgress(90);
        dialog.EndDialog(1);
    });
    ASSERT_TRUE(late.Start());
    late.Join();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.ProgressBar()->value(), 40);
    EXPECT_FALSE(dialog.isVisible());
    dialog.SetWorker(nullptr);  // the worker goes first
}

TEST(SaveProgressDlg, CommandsByIdentifier) {
    CSaveProgressDlg dialog;
    auto answered = test::AnswerNextModal([&](QWidget*) {
        dialog.OnCommand(1005);  // not a command: ignored
        dialog.OnCommand(1);
    });
    EXPECT_EQ(dialog.DoModal(nullptr), 1);
    answered = test::AnswerNextModal([&](QWidget*) { dialog.CancelButton()->click(); });
    EXPECT_EQ(dialog.DoModal(nullptr), 2);
}

TEST(SaveProgressDlg, AnEndPostedByAnEarlierRunDoesNotEndTheNextOne) {
    CSaveProgressDlg dialog;
    // The worker's end is still queued when the user cancels.
    auto answered = test::AnswerNextModal([&](QWidget*) {
        dialog.EndDialog(3);
        dialog.OnCommand(2);
    });
    EXPECT_EQ(dialog.DoModal(nullptr), 2);
    ASSERT_TRUE(*answered);
    // The next run is ended by Escape, not by the stale end.
    answered = test::AnswerNextModal([](QWidget* modal) {
        QTimer::singleShot(100, modal, [modal] { driver::PressKey(modal, Qt::Key_Escape); });
    });
    EXPECT_EQ(dialog.DoModal(nullptr), 2);
    EXPECT_TRUE(*answered);
}

TEST(SaveProgressDlg, AWorkerThatCannotStartFailsTheSave) {
    CSaveProgressDlg dialog;
    std::atomic<bool> release{false};
    Worker busy([&] {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ASSERT_TRUE(busy.Start());  // still running: a second start is refused
    dialog.SetWorker(&busy);
    EXPECT_EQ(dialog.DoModal(nullptr), 3);
    release = true;
    busy.Join();
    dialog.SetWorker(nullptr);  // the worker goes first
}

TEST(SaveProgressDlg, DestructionWaitsForAWorkerStillReporting) {
    std::atomic<int> reports{0};
    auto dialog = std::make_unique<CSaveProgressDlg>();
    CSaveProgressDlg* raw = dialog.get();
    Worker worker([&] {
        for (int i = 0; i < 20; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            raw->SetProgress(i);
            reports.fetch_add(1);
        }
    });
    dialog->SetWorker(&worker);
    auto answered = test::AnswerNextModal([raw](QWidget*) { raw->CancelButton()->click(); });
    EXPECT_EQ(dialog->DoModal(nullptr), 2);
    dialog.reset();
    EXPECT_EQ(reports.load(), 20);
}

TEST(SaveProgressDlg, CentredOverItsOwnerAndKeptInTheWorkArea) {
    const QRect workArea = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    owner.setGeometry(workArea.left() + 200, workArea.top() + 150, 600, 400);
    owner.show();
    CSaveProgressDlg dialog;
    QRect shown;
    auto answered = test::AnswerNextModal([&](QWidget* modal) {
        shown = modal->frameGeometry();
        modal->close();
    });
    EXPECT_EQ(dialog.DoModal(&owner), 2);
    ASSERT_TRUE(*answered);
    const QRect frame = owner.frameGeometry();
    EXPECT_EQ(shown.left(), (2 * frame.left() + frame.width()) / 2 - shown.width() / 2);
    EXPECT_EQ(shown.top(), (2 * frame.top() + frame.height()) / 2 - shown.height() / 2);

    // An owner at the edge: the dialog stays inside the work area.
    owner.setGeometry(workArea.left(), workArea.top(), 60, 40);
    answered = test::AnswerNextModal([&](QWidget* modal) {
        shown = modal->frameGeometry();
        modal->close();
    });
    EXPECT_EQ(dialog.DoModal(&owner), 2);
    EXPECT_EQ(shown.left(), workArea.left());
    EXPECT_EQ(shown.top(), workArea.top());

    // No owner: the middle of the work area.
    answered = test::AnswerNextModal([&](QWidget* modal) {
        shown = modal->frameGeometry();
        modal->close();
    });
    EXPECT_EQ(dialog.DoModal(nullptr), 2);
    EXPECT_EQ(shown.left(), (2 * workArea.left() + workArea.width()) / 2 - shown.width() / 2);
    EXPECT_EQ(shown.top(), (2 * workArea.top() + workArea.height()) / 2 - shown.height() / 2);
}

TEST(SaveProgressDlg, AnOwnerDestroyedDuringTheRunLeavesTheDialog) {
    auto owner = std::make_unique<QWidget>();
    owner->show();
    CSaveProgressDlg dialog;
    auto answered = test::AnswerNextModal([&](QWidget*) { owner.reset(); });
    EXPECT_EQ(dialog.DoModal(owner.get()), 0);
    EXPECT_TRUE(*answered);
    EXPECT_EQ(dialog.parent(), nullptr);
    answered = test::AnswerNextModal([&](QWidget*) { dialog.CancelButton()->click(); });
    EXPECT_EQ(dialog.DoModal(nullptr), 2);
}

TEST(SaveProgressDlg, OneDialogForTheModule) {
    CSaveProgressDlg* first = CSaveProgressDlg::Instance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CSaveProgressDlg::Instance(), first);
    // Off the UI thread there is none to be had.
    CSaveProgressDlg* fromWorker = first;
    std::thread([&] { fromWorker = CSaveProgressDlg::Instance(); }).join();
    EXPECT_EQ(fromWorker, nullptr);
}

}  // namespace
}  // namespace brevio
