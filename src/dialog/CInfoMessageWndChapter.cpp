#include "CInfoMessageWndChapter.h"
#include "resources/StringIds.h"

namespace brevio {

CInfoMessageWndChapter::CInfoMessageWndChapter(QWidget* parent) : CInfoMessageWnd(parent) {}

CInfoMessageWndChapter::~CInfoMessageWndChapter() = default;

QString CInfoMessageWndChapter::GetInstructionText() const {
    return JoinSteps(ids::kChapterSteps);
}

}  // namespace brevio
