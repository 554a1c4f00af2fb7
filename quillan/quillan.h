/* The contour vectoriser: turns a one-bit work image into the RVL file of its centre lines.
 * A plain C interface so that the launcher can bind it by name at run time. */
#ifndef QUILLAN_H
#define QUILLAN_H

#include <stdarg.h>

/* The calling convention of the exports and callbacks: the standard one of the platform
 * (empty on Linux). */
#ifndef QUILLAN_CALL
#define QUILLAN_CALL
#endif

#if defined(_WIN32)
#define QUILLAN_EXPORT __declspec(dllexport)
#else
#define QUILLAN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A callback takes a printf-style format (UTF-8 text) and the argument list for it; its
 * result is not looked at. Every message begins with its step number and a blank. */
typedef int(QUILLAN_CALL* RV_CallBack)(const char* format, va_list args);

/* Stores the progress, error and thinning callbacks (any may be null); returns 1. */
QUILLAN_EXPORT int QUILLAN_CALL RV_SetCallBack(RV_CallBack progress, RV_CallBack error,
                                               RV_CallBack thinning);

/* Converts the work image `source` (in place, or a temporary copy when copyFirst is non-zero)
 * and writes the polylines to `output`. Returns 1 on success, 0 on any failure; failures send
 * no message. A tolerance of 0 or less acts as the narrowest corridor; a lengthDivisor above 0
 * drops polylines shorter than max(width, height) / lengthDivisor. */
QUILLAN_EXPORT int QUILLAN_CALL quillanourCnv(const char* source, int copyFirst, const char* output,
                                              double tolerance, double lengthDivisor);

/* The names the launcher looks the entry points up by. */
#define QUILLAN_LIBRARY_NAME "libquillan.so"

#ifdef __cplusplus
}
#endif

#endif
