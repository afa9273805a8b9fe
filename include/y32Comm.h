/* y32Comm.h - the host's common support calls the library reports through.
 *
 * c32SetDLLErrInfo records a failure; the last report stays available to
 * the host through c32GetDLLErrInfo. y32IsEscPressed is asked during long
 * relief builds; a host installs its own answer with y32SetEscPressedHook. */
#ifndef Y32COMM_H
#define Y32COMM_H

#include "y32path/types.h"

typedef struct Y32ErrInfo {
    int32_t aux;      /* 0, or the null result of the allocation that failed */
    int32_t code;     /* 1001 memory, 3200 unsuitable, 5200 cancelled, 5404 baseline */
    int32_t severity;
    int32_t module;   /* 2600 for this library */
    int32_t unit;     /* source unit that reported */
    int32_t line;
} Y32ErrInfo;

typedef int32_t (*Y32EscHook)(void *user);

Y32_BEGIN_C

/* Records one failure report (the six values of Y32ErrInfo, in order),
 * replacing the previous one. Returns 1. The library reports through it;
 * a host may too. */
Y32_API int32_t c32SetDLLErrInfo(int32_t aux, int32_t code, int32_t severity,
                                 int32_t module, int32_t unit, int32_t line);
/* Copies the last report into *out; returns how many reports were made
 * since the last c32ClearDLLErrInfo (0: *out untouched). */
Y32_API int32_t c32GetDLLErrInfo(Y32ErrInfo *out);
/* Forgets the last report and resets the count to 0. */
Y32_API void c32ClearDLLErrInfo(void);

/* 1 while the user asks to cancel: the installed hook answered nonzero.
 * 0 without a hook. */
Y32_API int32_t y32IsEscPressed(void);
/* Installs the hook (NULL removes it); `user` is passed back to it on
 * every call. */
Y32_API void y32SetEscPressedHook(Y32EscHook hook, void *user);

Y32_END_C

#endif
