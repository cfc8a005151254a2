#pragma once
// The two places where windows call into the gadget library, which sits
// above this one. The gadget library fills the hooks in its start routine;
// until then windows have no gadget list and no control is a gadget.
#include <windows.h>

#include "runtime/object_registry.h"
#include "ui/windows/message_result.h"

struct GadgetHooks {
    // Makes window the calling thread's current gadget list (GadgetListUse).
    HWND (*gadgetListUse)(HWND window);
    // Looks the gadget up and hands the parent's message about it to its
    // kind's OnParentMessage. NotHandled when there is no such gadget or its
    // kind has no OnParentMessage. The control has already been checked to
    // carry gadget as both its identifier and its KX_ID property.
    MessageResult (*forwardToGadget)(HWND control, ObjectNumber gadget, HWND parent, UINT message,
                                     WPARAM wParam, LPARAM lParam);
};

// Installs the hooks (copied); null or a null member turns that hook off.
void SetGadgetHooks(const GadgetHooks* hooks);
const GadgetHooks& CurrentGadgetHooks();
