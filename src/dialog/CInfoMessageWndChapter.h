#pragma once
// The instruction panel for a movie made of chapters: the same heading, and three steps (there is
// no playing and pausing at the scene to cut).
#include "dialog/CInfoMessageWnd.h"

namespace brevio {

class CInfoMessageWndChapter : public CInfoMessageWnd {
    Q_OBJECT

public:
    explicit CInfoMessageWndChapter(QWidget* parent = nullptr);
    ~CInfoMessageWndChapter() override;

    QString GetInstructionText() const override;
};

}  // namespace brevio
