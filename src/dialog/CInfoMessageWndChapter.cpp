#include "CInfoMessageWndChapter.h"

namespace brevio {

CInfoMessageWndChapter::CInfoMessageWndChapter(QWidget* parent) : CInfoMessageWnd(parent) {}

CInfoMessageWndChapter::~CInfoMessageWndChapter() = default;

QString CInfoMessageWndChapter::GetInstructionText() const {
    return JoinSteps({158, 159, 160});
}

}  // namespace brevio
