#include "CEditCall.h"

#include <utility>

namespace brevio {

CEditCall::CEditCall(QString moviePath, int32_t playerValue, int64_t startPosition)
    : moviePath_(std::move(moviePath)), playerValue_(playerValue), startPosition_(startPosition) {}

int32_t CEditCall::RunDialog(const QString* caption, QWidget* owner) {
    try {
        const int32_t opened = dialog_.Open(moviePath_);
        if (opened != 0) return opened;
        dialog_.SetCaption(caption);
        dialog_.SetPlayerValue(playerValue_);
        dialog_.SetStartPosition(startPosition_);
        dialog_.DoModal(owner);
        // A run that ended without an accepted end request (its owner window destroyed under
        // it) is a failure, whatever the result field still holds.
        if (!dialog_.IsEnding()) return BRVDLG_FAILURE;
        return dialog_.GetResult();
    } catch (...) {
        return BRVDLG_FAILURE;
    }
}

}  // namespace brevio
