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

/* Draws a label centred in the rectangle. */
__attribute__((visibility("default"))) int32_t ProbeLabel(TvHandle dc, const char* text,
                                                          TvRect* rect) {
    TvHandle font = tv_CreateFont(-11, 0, 400, 0, 0, 0, "Arial");
    TvHandle old = tv_SelectObject(dc, font);
    tv_SetBkMode(dc, TV_TRANSPARENT);
    int32_t h = tv_DrawText(dc, text, rect, TV_DT_CENTER | TV_DT_VCENTER | TV_DT_SINGLELINE);
    tv_SelectObject(dc, old);
    tv_DeleteObject(font);
    return h;
}
