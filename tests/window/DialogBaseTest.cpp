#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "TestHarness.h"
#include "module/ModuleHelpers.h"
#include "platform/HResult.h"
#include "window/DialogBase.h"
#include "window/WindowBase.h"

namespace brevio {
namespace {

// A pane with two buttons that paints a dark square over the flicker-free background. Its buttons'
// commands reach the pane, which forwards them to the dialog.
class ButtonPane : public WindowBase {
public:
    ButtonPane(const QString& name, uint16_t firstId, DialogBase* dialog) : WindowBase(dialog) {
        setObjectName(name);
        EnableFlickerFreePaint();
        Messages().Add(WM_COMMAND, [dialog](uint32_t m, uintptr_t w, intptr_t l, bool&) -> LRESULT {
            return dialog->SendMessage(m, w, l);
        });
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(24, 24, 8, 8);
        for (int i = 0; i < 2; ++i) {
            auto* button = new QPushButton(name + QString::number(i + 1), this);
            button->setObjectName(button->text());
            layout->addWidget(button);
            buttons.push_back(button);
            ConnectCommand(button, static_cast<uint16_t>(firstId + i));
        }
    }
    std::vector<QPushButton*> buttons;

protected:
    void PaintContent(QPainter& painter) override {
        painter.fillRect(QRect(2, 2, 16, 16), QColor(0x20, 0x40, 0x80));
    }
};

// The test dialog: two nested panes; records the commands it gets, ends on a chosen one.
class TestDialog : public DialogBase {
public:
    using DialogBase::Messages;
    TestDialog() {
        setWindowTitle(QStringLiteral("Nested panes"));
        auto* layout = new QVBoxLayout(this);
        left = new ButtonPane(QStringLiteral("A"), 1001, this);
        right = new ButtonPane(QStringLiteral("B"), 1003, this);
        layout->addWidget(left);
        layout->addWidget(right);
        Messages().Add(WM_INITDIALOG, [this](uint32_t, uintptr_t, intptr_t l, bool&) -> LRESULT {
            // The panes are created anew for every run.
            panesCreated = left->Create(this) && right->Create(this);
            ++initCalls;
            initParam = l;
            if (endInInit >= 0) EndDialog(endInInit);
            return 1;
        });
        Messages().Add(WM_COMMAND,
                       [this](uint32_t, uintptr_t w, intptr_t, bool& handled) -> LRESULT {
                           commands.push_back(LOWORD(w));
                           handled = false;  // the next entry decides whether the dialog ends
                           return 0;
                       });
        Messages().Add(WM_COMMAND, [this](uint32_t, uintptr_t w, intptr_t, bool&) -> LRESULT {
            if (LOWORD(w) == IDCANCEL && endOnCancel) EndDialog(IDCANCEL);
            if (LOWORD(w) == 1004) EndDialog(77);
            return 0;
        });
    }
    ButtonPane* left;
    ButtonPane* right;
    std::vector<uint16_t> commands;
    int initCalls = 0;
    bool panesCreated = false;
    intptr_t initParam = 0;
    int endInInit = -1;
    bool endOnCancel = true;
};

void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

TEST(DialogBase, TabAndShiftTabGoThroughTheNestedPanes) {
    TestDialog dialog;
    QStringList forward;
    QStringList backward;
    auto answered = test::AnswerNextModal([&](QWidget*) {
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(test::WaitUntil([&] { return dialog.isActiveWindow(); }));
        dialog.left->buttons[0]->setFocus();
        ASSERT_TRUE(test::WaitUntil([&] { return QApplication::focusWidget() != nullptr; }));
        for (int i = 0; i < 4; ++i) {
            SendKey(QApplication::focusWidget(), Qt::Key_Tab);
            forward << QApplication::focusWidget()->objectName();
        }
        for (int i = 0; i < 4; ++i) {
            SendKey(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            backward << QApplication::focusWidget()->objectName();
        }
        dialog.EndDialog(0);
    });
    dialog.DoModal();
    EXPECT_TRUE(*answered);
    EXPECT_EQ(forward, (QStringList{"A2", "B1", "B2", "A1"}));
    EXPECT_EQ(backward, (QStringList{"B2", "B1", "A2", "A1"}));
}

TEST(DialogBase, ModalRunEndsOnlyThroughEndDialog) {
    auto owner = std::make_unique<QWidget>();
    TestDialog dialog;
    QWidget* seenParent = nullptr;
    auto answered = test::AnswerNextModal([&](QWidget* modal) {
        ASSERT_EQ(modal, &dialog);
        seenParent = dialog.Owner();
        EXPECT_EQ(dialog.parentWidget(), nullptr);  // the owner never becomes its Qt parent
        dialog.left->buttons[1]->setFocus();
        SendKey(dialog.left->buttons[1], Qt::Key_Return);  // a focused button: its command, once
        SendKey(&dialog, Qt::Key_Escape);  // IDCANCEL, not handled while endOnCancel is false
        dialog.close();                    // the close box: WM_CLOSE, then IDCANCEL
        EXPECT_TRUE(dialog.isVisible());
        dialog.right->buttons[1]->click();  // 1004 ends the dialog
    });
    dialog.endOnCancel = false;
    EXPECT_EQ(dialog.DoModal(owner.get(), 1234), 77);
    EXPECT_TRUE(*answered);
    EXPECT_EQ(dialog.initCalls, 1);
    EXPECT_EQ(dialog.initParam, 1234);
    EXPECT_EQ(dialog.commands, (std::vector<uint16_t>{1002, IDCANCEL, IDCANCEL, 1004}));
    EXPECT_EQ(seenParent, owner.get());
    EXPECT_EQ(dialog.parentWidget(), nullptr);  // the owner does not keep it
    owner.reset();                              // and deleting the owner leaves it alone
    EXPECT_FALSE(dialog.IsWindow());            // destroyed after the run
    EXPECT_FALSE(dialog.isVisible());
}

TEST(DialogBase, RunsAgainWithNewPanesAndCanEndBeforeShowing) {
    TestDialog dialog;
    EXPECT_FALSE(dialog.IsWindow());  // no window outside a run
    WindowHandle first;
    auto answered = test::AnswerNextModal([&](QWidget*) {
        first = dialog.Handle();
        SendKey(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(first.IsWindow());
    EXPECT_FALSE(dialog.left->IsWindow());

    // The second run has its panes again: their buttons reach the dialog.
    bool visible = false;
    answered = test::AnswerNextModal([&](QWidget*) {
        visible = dialog.right->isVisible() && dialog.right->buttons[1]->isVisible();
        dialog.right->buttons[1]->click();
    });
    EXPECT_EQ(dialog.DoModal(), 77);
    EXPECT_TRUE(dialog.panesCreated);
    EXPECT_TRUE(visible);

    dialog.endInInit = 5;
    auto shown = test::AnswerNextModal([](QWidget*) {}, 300);
    EXPECT_EQ(dialog.DoModal(), 5);
    test::WaitUntil([] { return false; }, 350);
    EXPECT_FALSE(*shown);  // ended in WM_INITDIALOG: never shown
    EXPECT_EQ(dialog.initCalls, 3);
}

TEST(DialogBase, DestroyingTheOwnerEndsTheRunAndLeavesTheDialog) {
    auto owner = std::make_unique<QWidget>();
    owner->show();
    TestDialog dialog;
    std::vector<std::string> destroyed;
    dialog.Messages().Add(WM_DESTROY, [&](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        destroyed.push_back("dialog");
        return 0;
    });
    auto answered = test::AnswerNextModal([&](QWidget*) { owner.reset(); });
    EXPECT_EQ(dialog.DoModal(owner.get()), 0);
    EXPECT_TRUE(*answered);
    EXPECT_EQ(destroyed, (std::vector<std::string>{"dialog"}));
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_FALSE(dialog.left->IsWindow());
    EXPECT_EQ(dialog.Owner(), nullptr);
    // The dialog object is whole and runs again.
    answered = test::AnswerNextModal([&](QWidget*) { dialog.right->buttons[1]->click(); });
    EXPECT_EQ(dialog.DoModal(), 77);
}

TEST(DialogBase, ComboBoxNotificationsArriveAsCommands) {
    struct Pane : WindowBase {
        using WindowBase::Messages;
    } pane;
    auto* combo = new QComboBox(&pane);
    combo->addItems({"4", "5", "6"});
    std::vector<std::pair<uint16_t, uint16_t>> commands;
    pane.Messages().Add(WM_COMMAND, [&](uint32_t, uintptr_t w, intptr_t l, bool&) -> LRESULT {
        EXPECT_EQ(l, reinterpret_cast<intptr_t>(combo));
        commands.emplace_back(LOWORD(w), HIWORD(w));
        return 0;
    });
    pane.ConnectCombo(combo, 1010);
    ASSERT_TRUE(pane.Create(nullptr, QRect(0, 0, 120, 40)));
    combo->setCurrentIndex(1);  // by code: no notification
    combo->showPopup();
    ASSERT_TRUE(test::WaitUntil([&] { return combo->view()->isVisible(); }));
    combo->view()->setCurrentIndex(combo->model()->index(2, 0));
    SendKey(combo->view(), Qt::Key_Return);  // the list takes the highlighted item
    ASSERT_TRUE(test::WaitUntil([&] { return !combo->view()->isVisible(); }));
    EXPECT_EQ(combo->currentIndex(), 2);
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands.front(), std::make_pair(uint16_t{1010}, CBN_DROPDOWN));
    EXPECT_NE(
        std::find(commands.begin(), commands.end(), std::make_pair(uint16_t{1010}, CBN_CLOSEUP)),
        commands.end());
    EXPECT_NE(
        std::find(commands.begin(), commands.end(), std::make_pair(uint16_t{1010}, CBN_SELCHANGE)),
        commands.end());
}

TEST(DialogBase, PaintsTheBackgroundAndTheContent) {
    TestDialog dialog;
    auto* heading = new QLabel(LoadString(148), &dialog);  // a Chinese text from the table
    dialog.layout()->addWidget(heading);
    dialog.resize(240, 220);
    ASSERT_TRUE(dialog.left->Create(&dialog));
    ASSERT_TRUE(dialog.right->Create(&dialog));
    dialog.show();
    const QImage pane = dialog.left->grab().toImage();
    EXPECT_EQ(pane.pixelColor(40, 4), QColor(0xF0, 0xF0, 0xF0));   // COLOR_BTNFACE
    EXPECT_EQ(pane.pixelColor(10, 10), QColor(0x20, 0x40, 0x80));  // the content over it
    WindowBase plain;
    plain.resize(20, 20);
    EXPECT_EQ(plain.grab().toImage().pixelColor(5, 5), QColor(Qt::white));  // COLOR_WINDOW
    const QString path = test::SaveScreenshot(&dialog, QStringLiteral("dialog-nested-panes"));
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(QImage(path).size(), dialog.grab().size());
}

}  // namespace
}  // namespace brevio
