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

/* Result codes: 0 saved, 1 cancelled, 2 bad argument, 3 not a Brevio movie, 4 too short,
   5 invalid file, 6 component missing, 7 failure.
   ownerWindow is the host's top-level QWidget* or null. Positions are in 100 ns ticks. */
BRV_EXPORT int32_t BRV_STDCALL BREditDialog(const char16_t* moviePath, void* ownerWindow,
                                            char16_t* savedPath, uint32_t savedPathCapacity,
                                            int32_t playerValue, int32_t* playerValueOut,
                                            int64_t startPosition, const char16_t* caption);

#ifdef __cplusplus
}
#endif

#endif
