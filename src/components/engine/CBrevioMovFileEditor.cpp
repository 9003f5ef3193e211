#include "engine/CBrevioMovFileEditor.h"

// Writers land in the next change; until then they report that they cannot write.
ERROR_CREATEMOVFILE CBrevioMovFileEditor::CreateReferenceMovFile(const FileLocator&,
                                                                 const CBrevioMovie*) const {
    return CREATEMOVFILE_UNSUPPORTED;
}

ERROR_CREATEMOVFILE CBrevioMovFileEditor::CreateNewMovFile(const FileLocator&,
                                                           const CBrevioMovie*) {
    return CREATEMOVFILE_UNSUPPORTED;
}
