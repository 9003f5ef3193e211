#include "dialog/KeyboardAccess.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>

#include "dialog/CBaseWindow.h"
#include "player/BRLPlayer.h"
#include "thumbnails/CThumbnailContainer.h"
#include "thumbnails/CThumbnailWnd.h"

namespace brevio {

namespace {

// The keys of a standard action as this platform binds them, with the extra ones after.
QList<QKeySequence> KeysOf(QKeySequence::StandardKey standard, QList<QKeySequence> extra = {}) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
    for (const QKeySequence& key : extra) {
        if (!keys.contains(key)) keys.append(key);
    }
    return keys;
}

// A shortcut that presses `button` when it is enabled: the press runs the button's own handler.
void AddButtonShortcut(QWidget* owner, const QList<QKeySequence>& keys, QAbstractButton* button) {
    if (button == nullptr || keys.isEmpty()) return;
    auto* shortcut = new QShortcut(owner);
    shortcut->setKeys(keys);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, button,
                     [target = QPointer<QAbstractButton>(button)] {
                         if (target && target->isEnabled() && target->isVisible()) target->click();
                     });
}

// The start of the scene before (direction < 0) or after a position of the edited movie, as the
// document has it; the position itself when there is none.
int64_t SceneStartBeside(const CThumbnailWnd& view, int64_t position, int direction) {
    const CBRVWrapper& document = view.GetDocument();
    unsigned unit = 0;
    int64_t start = 0;
    if (FAILED(document.GetUnitIndexAtTime(position, &unit)) ||
        FAILED(document.GetUnitStartTime(unit, &start)))
        return position;
    if (direction < 0) {
        if (position > start || unit == 0) return start;
        document.GetUnitStartTime(unit - 1, &start);
        return start;
    }
    if (unit + 1 < document.GetUnitCount()) {
        document.GetUnitStartTime(unit + 1, &start);
        return start;
    }
    int64_t total = position;
    document.GetTotalTime(&total);
    return total;
}

}  // namespace

void InstallKeyboardAccess(CBaseWindow& content) {
    CThumbnailContainer* pane = content.ThumbnailPane();
    if (pane == nullptr) return;
    AddButtonShortcut(&content, KeysOf(QKeySequence::Undo), pane->UndoButton());
    AddButtonShortcut(&content,
                      KeysOf(QKeySequence::Redo, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                                  QKeySequence(Qt::CTRL | Qt::Key_Y)}),
                      pane->RedoButton());
    AddButtonShortcut(&content, KeysOf(QKeySequence::Save), pane->SaveMovieButton());

    auto* player = qobject_cast<BRLPlayer*>(content.Preview().PlayerWidget());
    if (player == nullptr) return;
    if (CThumbnailWnd* view = pane->GetView()) {
        QObject::connect(view, &CThumbnailWnd::PlayPauseKeyPressed, player->PlayButton(),
                         &QAbstractButton::click);
    }
    player->SetScenePager(
        [pane = QPointer<CThumbnailContainer>(pane)](int64_t position, int direction) {
            const CThumbnailWnd* view = pane ? pane->GetView() : nullptr;
            return view != nullptr ? SceneStartBeside(*view, position, direction) : position;
        });
}

}  // namespace brevio
