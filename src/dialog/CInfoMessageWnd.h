#pragma once
// The instruction panel at the upper right of the editing dialog: a heading and the numbered steps
// of editing a movie made of shooting units. It has no interaction; its texts are set once when its
// window is created.
#include <QLabel>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <span>

#include "window/WindowBase.h"

namespace brevio {

class CInfoMessageWnd : public WindowBase {
    Q_OBJECT

public:
    // The heading's height; the body takes the rest of the panel.
    static constexpr int kHeadingHeight = 40;

    explicit CInfoMessageWnd(QWidget* parent = nullptr);
    ~CInfoMessageWnd() override;

    // The body text: every step preceded by CR LF, nothing after the last one.
    virtual QString GetInstructionText() const;

    QLabel* HeadingControl() const { return heading_; }
    QLabel* BodyControl() const { return body_; }

protected:
    // Joins the step strings `ids` the way the body shows them.
    static QString JoinSteps(std::span<const uint32_t> steps);

    void resizeEvent(QResizeEvent* event) override;

private:
    LRESULT OnCreate();
    void Layout();

    QPointer<QLabel> heading_;
    QPointer<QLabel> body_;
};

}  // namespace brevio
