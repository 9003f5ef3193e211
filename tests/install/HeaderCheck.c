/* The public header as a C11 host includes it, with nothing before it. */
#include "brevioedit/BREditDialog.h"

typedef int32_t (*EditDialogCall)(const char16_t*, void*, char16_t*, uint32_t, int32_t, int32_t*,
                                  int64_t, const char16_t*);
EditDialogCall brevio_c_host_call = BREditDialog;
