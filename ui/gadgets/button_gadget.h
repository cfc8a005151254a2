#pragma once
// The button gadget: a push button (native class "Button"); a click reaches
// the program as EVENT_GADGET through the window procedure.
#include <cstdint>

#include "runtime/object_registry.h"
#include "runtime/text.h"

// Creates a button in the current gadget list; the flags are native style
// bits (BS_AUTOCHECKBOX makes a check box). Results as GadgetCreateText.
intptr_t GadgetCreateButton(ObjectNumber number, int32_t x, int32_t y, int32_t width,
                            int32_t height, const Text& text, uint32_t flags = 0);
