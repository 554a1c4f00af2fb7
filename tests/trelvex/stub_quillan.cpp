// Stand-ins for the vectoriser library, built once per set of exports (STUB_SET: the callback
// registration, STUB_CONVERT: the conversion), so the launcher can meet a library that lacks
// an entry point or one whose answers are known. The conversion fails when the source cannot
// be opened; otherwise it reports through every callback and writes what it was given.
#include "quillan.h"

#include <cstdio>

#if defined(STUB_SET) || defined(STUB_CONVERT)
namespace {
RV_CallBack progressSlot;
RV_CallBack errorSlot;
RV_CallBack thinningSlot;
} // namespace
#endif

#ifdef STUB_CONVERT
namespace {
int send(RV_CallBack slot, const char* format, ...)
{
    if (!slot)
        return 0;
    va_list args;
    va_start(args, format);
    int result = slot(format, args);
    va_end(args);
    return result;
}
} // namespace
#endif

extern "C" {

// Something to export, so that even the library without entry points is a loadable one.
QUILLAN_EXPORT int stubPresent()
{
    return 1;
}

#ifdef STUB_SET
QUILLAN_EXPORT int QUILLAN_CALL RV_SetCallBack(RV_CallBack progress, RV_CallBack error,
                                               RV_CallBack thinning)
{
    progressSlot = progress;
    errorSlot = error;
    thinningSlot = thinning;
    return 1;
}
#endif

#ifdef STUB_CONVERT
QUILLAN_EXPORT int QUILLAN_CALL quillanourCnv(const char* source, int copyFirst, const char* output,
                                              double tolerance, double lengthDivisor)
{
    FILE* in = std::fopen(source, "rb");
    if (!in)
        return 0;
    std::fclose(in);
    int progress = send(progressSlot, "1 - 変換開始 %s ( %lu bytes )", source, 8ul);
    int thinning = send(thinningSlot, "2 %3d  細線化処理 (%d - %.0lf秒)", 1, 0, 0.0);
    int error = send(errorSlot, "stub error %d", 7);
    FILE* out = std::fopen(output, "w");
    if (!out)
        return 0;
    std::fprintf(out, "%s|%d|%s|%.4f|%.1f|%d%d%d|%d\n", source, copyFirst, output, tolerance,
                 lengthDivisor, progress, thinning, error, progressSlot == thinningSlot);
    std::fclose(out);
    return 1;
}
#endif
}
