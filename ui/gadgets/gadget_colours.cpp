#include "ui/gadgets/gadget_colours.h"

#include "ui/gadgets/brush_cache.h"

MessageResult AnswerColourRequest(GadgetRecord* record, HDC dc, int systemColour) {
    const ColourWords& colours = record->coloured;
    MessageResult result = NotHandled;
    if (colours.frontColour != GADGET_COLOR_DEFAULT) {
        SetTextColor(dc, static_cast<COLORREF>(colours.frontColour));
        if (colours.backColour == GADGET_COLOR_DEFAULT) {
            SetBkColor(dc, GetSysColor(systemColour));
            result = Handled(reinterpret_cast<LRESULT>(GetSysColorBrush(systemColour)));
        }
    }
    if (colours.backColour != GADGET_COLOR_DEFAULT) {
        SetBkColor(dc, static_cast<COLORREF>(colours.backColour));
        result = Handled(reinterpret_cast<LRESULT>(colours.brush));
    }
    return result;
}

void SetGadgetColour(GadgetRecord* record, int32_t type, int32_t colour) {
    ColourWords& colours = record->coloured;
    if (type == GADGET_COLOR_FRONT) {
        colours.frontColour = colour;
    } else if (type == GADGET_COLOR_BACK) {
        ReleaseGadgetBrush(record);
        colours.brush = colour == GADGET_COLOR_DEFAULT ? nullptr : BrushAcquire(colour);
        colours.backColour = colour;
    }
    RedrawWindow(record->handle, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME);
}

int32_t GetGadgetColour(GadgetRecord* record, int32_t type) {
    if (type == GADGET_COLOR_FRONT) return record->coloured.frontColour;
    if (type == GADGET_COLOR_BACK) return record->coloured.backColour;
    return GADGET_COLOR_DEFAULT;
}

void ReleaseGadgetBrush(GadgetRecord* record) {
    if (!record->coloured.brush) return;
    BrushRelease(record->coloured.brush);
    record->coloured.brush = nullptr;
}

void ResetGadgetColours(GadgetRecord* record) {
    record->coloured.backColour = GADGET_COLOR_DEFAULT;
    record->coloured.frontColour = GADGET_COLOR_DEFAULT;
    record->coloured.brush = nullptr;
}
