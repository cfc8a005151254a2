#include "ui/gadgets/gadget_colors.h"

#include "ui/gadgets/brush_cache.h"

MessageResult AnswerColorRequest(GadgetRecord* record, HDC dc, int systemColor) {
    const GadgetColors& colors = record->colors;
    MessageResult result = NotHandled;
    if (colors.frontColor != GADGET_COLOR_DEFAULT) {
        SetTextColor(dc, static_cast<COLORREF>(colors.frontColor));
        if (colors.backColor == GADGET_COLOR_DEFAULT) {
            SetBkColor(dc, GetSysColor(systemColor));
            result = Handled(reinterpret_cast<LRESULT>(GetSysColorBrush(systemColor)));
        }
    }
    if (colors.backColor != GADGET_COLOR_DEFAULT) {
        SetBkColor(dc, static_cast<COLORREF>(colors.backColor));
        result = Handled(reinterpret_cast<LRESULT>(colors.brush));
    }
    return result;
}

void SetGadgetColor(GadgetRecord* record, int32_t type, int32_t color) {
    GadgetColors& colors = record->colors;
    if (type == GADGET_COLOR_FRONT) {
        colors.frontColor = color;
    } else if (type == GADGET_COLOR_BACK) {
        ReleaseGadgetBrush(record);
        colors.brush = color == GADGET_COLOR_DEFAULT ? nullptr : BrushAcquire(color);
        colors.backColor = color;
    }
    RedrawWindow(record->handle, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME);
}

int32_t GetGadgetColor(GadgetRecord* record, int32_t type) {
    if (type == GADGET_COLOR_FRONT) return record->colors.frontColor;
    if (type == GADGET_COLOR_BACK) return record->colors.backColor;
    return GADGET_COLOR_DEFAULT;
}

void ReleaseGadgetBrush(GadgetRecord* record) {
    if (!record->colors.brush) return;
    BrushRelease(record->colors.brush);
    record->colors.brush = nullptr;
}

void ResetGadgetColors(GadgetRecord* record) {
    record->colors.backColor = GADGET_COLOR_DEFAULT;
    record->colors.frontColor = GADGET_COLOR_DEFAULT;
    record->colors.brush = nullptr;
}
