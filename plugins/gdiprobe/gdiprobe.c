/* Fills a rectangle in the context it is given, through the exported drawing functions. */
#include "tolvern_gdi.h"

__attribute__((visibility("default"))) int32_t ProbeFill(TvHandle dc, const TvRect* rect,
                                                         TvColor color) {
    if (tv_gdi_version() < TOLVERN_GDI_VERSION) return 0;
    TvHandle brush = tv_CreateSolidBrush(color);
    int32_t ok = tv_FillRect(dc, rect, brush);
    tv_DeleteObject(brush);
    return ok;
}
