#pragma once
// The record of one editing call: the movie path, the host's player value and start position, and
// the editing dialog with everything it owns. It lives for the length of the call; destroying it
// destroys every window object and stops every worker of the call.
#include <QString>
#include <cstdint>

#include "dialog/CBRVDialog.h"

class QWidget;

namespace brevio {

class CEditCall {
public:
    CEditCall(QString moviePath, int32_t playerValue, int64_t startPosition);

    // Opens the movie and runs the dialog modally over `owner`: the dialog's result code, or the
    // open's code (3, 4, 5, 7) with no window shown; 7 for any exception.
    int32_t RunDialog(const QString* caption, QWidget* owner);

    CBRVDialog& Dialog() { return dialog_; }

private:
    QString moviePath_;
    int32_t playerValue_;
    int64_t startPosition_;
    CBRVDialog dialog_;
};

}  // namespace brevio
