#include "CInfoMessageWnd.h"

#include <QLabel>
#include <QResizeEvent>

#include "module/ModuleHelpers.h"
#include "platform/AccessibleFactory.h"
#include "resources/AccessibleTexts.h"
#include "resources/StringIds.h"

namespace brevio {

namespace {

// "MS Shell Dlg" at a Windows cell height and weight; Qt resolves the family to the system's
// sans-serif font.
QFont PanelFont(const QString& face, int pixelHeight, int weight) {
    QFont font(face);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

// A static text control: left-aligned text that wraps at word boundaries.
QLabel* MakeStatic(QWidget* parent, const QRect& rect, const QFont& font) {
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("0"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(rect);
    label->setFont(font);
    label->show();
    return label;
}

}  // namespace

CInfoMessageWnd::CInfoMessageWnd(QWidget* parent) : WindowBase(parent) {
    EnableFlickerFreePaint();
    MakeAccessibleGroup(this, resources::AccessibleString(resources::AccessibleText::Steps));
    Messages().Add(WM_CREATE, [this](uint32_t, uintptr_t, intptr_t, bool&) { return OnCreate(); });
}

CInfoMessageWnd::~CInfoMessageWnd() = default;

LRESULT CInfoMessageWnd::OnCreate() {
    const QRect client = rect();
    const QString face = LoadString(ids::kPanelFaceName);
    heading_ = MakeStatic(this, client, PanelFont(face, 14, 600));
    body_ = MakeStatic(this, client, PanelFont(face, 12, 400));
    heading_->setText(LoadString(ids::kInstructionHeading));
    // A QLabel breaks lines at LF; the carriage returns of the text are not drawn.
    body_->setText(GetInstructionText().remove(u'\r'));
    Layout();
    return 0;
}

QString CInfoMessageWnd::GetInstructionText() const {
    return JoinSteps(ids::kUnitSteps);
}

QString CInfoMessageWnd::JoinSteps(std::span<const uint32_t> steps) {
    QString text;
    for (uint32_t id : steps) {
        text += QStringLiteral("\r\n");
        text += LoadString(id);
    }
    return text;
}

void CInfoMessageWnd::resizeEvent(QResizeEvent* event) {
    WindowBase::resizeEvent(event);
    Layout();
}

void CInfoMessageWnd::Layout() {
    const int w = width();
    const int h = height();
    if (heading_) heading_->setGeometry(0, 0, w, kHeadingHeight);
    if (body_) body_->setGeometry(0, kHeadingHeight, w, h - kHeadingHeight);
}

}  // namespace brevio
