#pragma once
// Colours of text and string gadgets: a front (text) and a back colour, each
// GADGET_COLOR_DEFAULT for the platform's own, answered when the control asks
// its parent for colours. A back colour holds a brush of the brush cache.
#include <windows.h>

#include <cstdint>

#include "ui/gadgets/gadget_record.h"

// Answers a colour request for the control (wParam of the request is the
// device context): NotHandled when both colours are the platform's, else
// handled with the brush to paint the background with. systemColour is the platform colour
// of the request's kind (COLOR_BTNFACE for a static, COLOR_WINDOW for an edit).
MessageResult AnswerColorRequest(GadgetRecord* record, HDC dc, int systemColor);

// The kind operations shared by text and string gadgets.
void SetGadgetColor(GadgetRecord* record, int32_t type, int32_t color);
int32_t GetGadgetColor(GadgetRecord* record, int32_t type);
// OnDestroy: lets go of the back colour's brush.
void ReleaseGadgetBrush(GadgetRecord* record);
// Both colours the platform's, no brush: the state at creation.
void ResetGadgetColors(GadgetRecord* record);
