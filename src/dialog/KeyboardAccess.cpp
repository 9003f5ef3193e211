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
    QObject::connect(pane, &CThumbnailContainer::PlayPauseKeyPressed, player->PlayButton(),
                     &QAbstractButton::click);
    player->SetScenePager(
        [pane = QPointer<CThumbnailContainer>(pane)](int64_t position, int direction) {
            return pane ? pane->SceneStartBeside(position, direction) : position;
        });
}

}  // namespace brevio
