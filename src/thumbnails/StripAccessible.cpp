#include "thumbnails/StripAccessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "platform/AccessibleFactory.h"
#include "resources/AccessibleTexts.h"
#include "thumbnails/CThumbnailWnd.h"

namespace brevio {

namespace {

using resources::AccessibleString;
using resources::AccessibleText;

// One scene of the strip, by its strip position; everything is read from the view when asked.
class StripItemAccessible : public QAccessibleInterface {
public:
    StripItemAccessible(CThumbnailWnd* view, int index) : view_(view), index_(index) {}

    bool isValid() const override { return view_ && index_ < view_->GetSceneCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? view_->SceneName(index_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect r = view_->SceneRect(index_);
        return QRect(view_->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.focusable = true;
        s.selected = view_->IsInRun(index_);
        s.focused = view_->hasFocus() && view_->RunStart() == index_;
        const QRect r = view_->SceneRect(index_);
        s.offscreen = !view_->viewport()->rect().intersects(r);
        s.invisible = !view_->isVisible();
        return s;
    }

    const CThumbnailWnd* View() const { return view_.data(); }
    int Index() const { return index_; }

private:
    QPointer<CThumbnailWnd> view_;
    int index_;
};

// The strip: a list whose children are its scenes (its scroll bar is left out).
class StripAccessible : public QAccessibleWidget {
public:
    explicit StripAccessible(CThumbnailWnd* view) : QAccessibleWidget(view, QAccessible::List) {}
    ~StripAccessible() override {
        for (const QAccessible::Id id : items_) {
            if (id != 0) QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return View()->GetSceneCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        if (static_cast<size_t>(index) >= items_.size()) items_.resize(index + 1, 0);
        QAccessible::Id& id = items_[static_cast<size_t>(index)];
        if (id == 0) {
            id = QAccessible::registerAccessibleInterface(new StripItemAccessible(View(), index));
        }
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* item = dynamic_cast<const StripItemAccessible*>(child);
        if (item == nullptr || item->View() != View() || item->Index() >= childCount()) return -1;
        return item->Index();
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint p = View()->viewport()->mapFromGlobal(QPoint(x, y));
        const int i = View()->HitTest(p.x(), p.y());
        return View()->viewport()->rect().contains(p) ? child(i) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return View()->hasFocus() ? child(View()->RunStart()) : nullptr;
    }
    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name:
                return View()->StripName();
            case QAccessible::Description:
                return AccessibleString(View()->IsChapterView() ? AccessibleText::ChapterHelp
                                                                : AccessibleText::StripHelp);
            default:
                return QAccessibleWidget::text(t);
        }
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.multiSelectable = !View()->IsChapterView();
        return s;
    }

private:
    CThumbnailWnd* View() const { return static_cast<CThumbnailWnd*>(widget()); }
    mutable std::vector<QAccessible::Id> items_;
};

// A list named by its label (the label whose buddy it is) rather than by its shown value, as the
// toolkit names a combo box on this system; its value is the shown text and its one child the
// drop-down list with the choices.
class LabelledListAccessible : public QAccessibleWidget {
public:
    explicit LabelledListAccessible(QComboBox* list)
        : QAccessibleWidget(list, QAccessible::ComboBox) {}

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == List()->view() ? 0 : -1;
    }
    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name: {
                QString name = List()->accessibleName();
                if (name.isEmpty() && List()->parentWidget() != nullptr) {
                    for (const QLabel* label : List()->parentWidget()->findChildren<QLabel*>()) {
                        if (label->buddy() == List()) name = label->text().remove(u'&');
                    }
                }
                return name;
            }
            case QAccessible::Value:
                return List()->currentText();
            default:
                return QAccessibleWidget::text(t);
        }
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.hasPopup = true;
        s.expandable = true;
        s.expanded = List()->view()->isVisible();
        s.collapsed = !s.expanded;
        return s;
    }
    QStringList actionNames() const override {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            List()->showPopup();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    QComboBox* List() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* MakeStripAccessible(const QString&, QObject* object) {
    // Both kinds of strip: the chapter kind is a CThumbnailWnd too.
    if (auto* view = qobject_cast<CThumbnailWnd*>(object)) return new StripAccessible(view);
    return nullptr;
}

QAccessibleInterface* MakeLabelledListAccessible(const QString&, QObject* object) {
    if (auto* list = qobject_cast<LabelledList*>(object)) return new LabelledListAccessible(list);
    return nullptr;
}

}  // namespace

LabelledList::LabelledList(QWidget* parent) : QComboBox(parent) {
    InstallAccessibleFactory(&MakeLabelledListAccessible);
}

void InstallStripAccessibility() {
    InstallAccessibleFactory(&MakeStripAccessible);
}

// ---------------------------------------------------------------------------------------------
// The view's side

bool CThumbnailWnd::UnitTimes(int unit, int64_t* start, int64_t* end) const {
    if (unit < 0 || FAILED(document_.GetUnitStartTime(static_cast<unsigned>(unit), start)))
        return false;
    int64_t total = 0;
    if (FAILED(document_.GetTotalTime(&total))) return false;
    *end = total;
    if (static_cast<size_t>(unit) + 1 < document_.GetUnitCount()) {
        document_.GetUnitStartTime(static_cast<unsigned>(unit) + 1, end);
    }
    return true;
}

QString CThumbnailWnd::SceneName(int i) const {
    const int unit = firstUnit_ + i;
    int64_t start = 0;
    int64_t end = 0;
    if (!UnitTimes(unit, &start, &end)) return {};
    return AccessibleString(AccessibleText::Scene)
        .arg(unit + 1)
        .arg(resources::AccessibleTime(start), resources::AccessibleTime(end));
}

QString CThumbnailWnd::StripName() const {
    return AccessibleString(AccessibleText::SceneStrip);
}

void CThumbnailWnd::NotifyAccessibility() {
    // Once the change is whole: a rebuild passes through an empty strip on its way.
    if (accessibilityPending_) return;
    accessibilityPending_ = true;
    QTimer::singleShot(0, this, [this] {
        accessibilityPending_ = false;
        SendAccessibilityEvents();
    });
}

void CThumbnailWnd::SendAccessibilityEvents() {
    // Without a screen reader listening nothing is told, and nothing needs remembering.
    if (!QAccessible::isActive()) {
        told_ = {};
        return;
    }
    AccessibleState now;
    const int n = GetSceneCount();
    for (int i = 0; i < n; ++i) {
        now.names.push_back(SceneName(i));
        now.inRun.push_back(IsInRun(i));
    }
    now.focused = hasFocus() ? RunStart() : -1;
    now.strip = stripsBuilt_;
    // A strip built anew (an edit, a move past the scenes shown) is told whole, names and focus;
    // so is one whose number of scenes changed, as the chapter strip's does by an edit without
    // being built anew: the focused chapter is another one even where its name reads the same.
    const bool rebuilt = now.strip != told_.strip || now.names.size() != told_.names.size();
    AccessibleState before = std::move(told_);
    told_ = now;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(this);
    if (list == nullptr) return;

    if (now.names.size() != before.names.size()) {
        QAccessibleEvent reorder(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&reorder);
    }
    bool selectionChanged = false;
    for (int i = 0; i < n; ++i) {
        QAccessibleInterface* item = list->child(i);
        if (item == nullptr) continue;
        const size_t k = static_cast<size_t>(i);
        if (rebuilt || k >= before.names.size() || before.names[k] != now.names[k]) {
            QAccessibleEvent named(item, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&named);
        }
        const bool wasInRun = k < before.inRun.size() && before.inRun[k];
        if (wasInRun != now.inRun[k]) {
            selectionChanged = true;
            QAccessible::State changed;
            changed.selected = true;
            QAccessibleStateChangeEvent state(item, changed);
            QAccessible::updateAccessibility(&state);
            QAccessibleEvent selection(
                item, now.inRun[k] ? QAccessible::SelectionAdd : QAccessible::SelectionRemove);
            QAccessible::updateAccessibility(&selection);
        }
    }
    if (selectionChanged) {
        QAccessibleEvent within(this, QAccessible::SelectionWithin);
        QAccessible::updateAccessibility(&within);
    }
    // The focus follows the run's first scene, and is told again for a strip built anew.
    const size_t f = static_cast<size_t>(std::max(now.focused, 0));
    const bool renamed =
        f < before.names.size() && f < now.names.size() && before.names[f] != now.names[f];
    if (now.focused >= 0 && (now.focused != before.focused || rebuilt || renamed)) {
        if (QAccessibleInterface* item = list->child(now.focused)) {
            QAccessibleEvent focus(item, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
    }
}

}  // namespace brevio
