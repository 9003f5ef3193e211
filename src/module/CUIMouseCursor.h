#pragma once
// A scoped mouse cursor: Change() puts a cursor over the whole application, Restore() and the
// destructor put back the one that was current before. The override is one entry on Qt's
// override-cursor stack, pushed and popped by this object only; use it on the UI thread.
#include <QCursor>

namespace brevio {

class CUIMouseCursor {
public:
    CUIMouseCursor() = default;
    CUIMouseCursor(const CUIMouseCursor&) = delete;
    CUIMouseCursor& operator=(const CUIMouseCursor&) = delete;
    virtual ~CUIMouseCursor();

    // Restores first, then makes `cursor` current. False, with nothing changed, when there is no
    // GUI application or when called off its thread.
    virtual bool Change(const QCursor& cursor);
    bool Change(Qt::CursorShape shape) { return Change(QCursor(shape)); }
    // Puts back the cursor from before Change; nothing when there is nothing to restore or when
    // called off the GUI thread (the restore then stays pending).
    virtual void Restore();

    // True while this object's cursor is set and not yet restored.
    bool IsChanged() const { return restorePending_; }

private:
    bool restorePending_ = false;
};

}  // namespace brevio
