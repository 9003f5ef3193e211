#ifndef BREVIOEDIT_BREDITDIALOG_H
#define BREVIOEDIT_BREDITDIALOG_H
/* Brevio Edit: the movie-editing dialog. One entry point; see the result codes below.
   Usable from C (C11 or later) and C++. Paths are UTF-16, terminated by a zero. */
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h> /* char16_t, a keyword in C++ */
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define BRV_STDCALL __stdcall
#else
#define BRV_STDCALL
#endif

#if defined(_WIN32)
#define BRV_EXPORT __declspec(dllexport)
#else
#define BRV_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The result codes BREditDialog returns (as int32_t); there are no others. */
typedef enum BREditDialogResult {
    BREDIT_RESULT_SAVED = 0,             /* saved; savedPath holds the new movie's path */
    BREDIT_RESULT_CANCELLED = 1,         /* closed without saving */
    BREDIT_RESULT_BAD_ARGUMENT = 2,      /* a null path or buffer, or savedPath too small */
    BREDIT_RESULT_NOT_BREVIO_MOVIE = 3,  /* the file is not a Brevio movie */
    BREDIT_RESULT_TOO_SHORT = 4,         /* too short to edit, or fewer than two chapters */
    BREDIT_RESULT_INVALID_FILE = 5,      /* missing, unreadable or not a valid movie file */
    BREDIT_RESULT_COMPONENT_MISSING = 6, /* the playback component is missing or too old */
    BREDIT_RESULT_FAILURE = 7            /* anything else went wrong */
} BREditDialogResult;

/* ownerWindow is the host's top-level QWidget* or null. Positions are in 100 ns ticks. */
BRV_EXPORT int32_t BRV_STDCALL BREditDialog(const char16_t* moviePath, void* ownerWindow,
                                            char16_t* savedPath, uint32_t savedPathCapacity,
                                            int32_t playerValue, int32_t* playerValueOut,
                                            int64_t startPosition, const char16_t* caption);

#ifdef __cplusplus
}
#endif

#endif
