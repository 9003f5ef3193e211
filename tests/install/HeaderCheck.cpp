// The public header as a C++ host includes it, with nothing before it.
#include "brevioedit/BREditDialog.h"

using EditDialogCall = int32_t (*)(const char16_t*, void*, char16_t*, uint32_t, int32_t, int32_t*,
                                   int64_t, const char16_t*);
EditDialogCall brevio_cxx_host_call = BREditDialog;
