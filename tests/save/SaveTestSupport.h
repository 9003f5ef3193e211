#pragma once
// Shared by the save tests: the document helpers, and the view's save behind the module's
// progress dialog.
#include "../document/DocumentTestSupport.h"
#include "save/CSaveProgressDlg.h"

namespace brevio::test {

inline HRESULT SaveAs(CBRVWrapper& document, const QString& path) {
    return SaveBehindDialog(document, path, CSaveProgressDlg::Instance());
}

}  // namespace brevio::test
