#pragma once
// The string gadget: a one-line input field (native class "Edit"). It posts
// EVENT_GADGET events of its own when it gains or loses the keyboard focus.
#include <windows.h>

#include <cstdint>

#include "runtime/object_registry.h"
#include "runtime/text.h"

// Creation flags; every other bit is a native style bit and passes through.
constexpr uint32_t STRING_NUMERIC = ES_NUMBER;  // the user can type digits only
constexpr uint32_t STRING_BORDERLESS = 0x20000; // no client-edge border

// Event types of the field's own EVENT_GADGET events.
constexpr int32_t EVENT_TYPE_FOCUS = 14000;
constexpr int32_t EVENT_TYPE_LOST_FOCUS = 14001;

// Attribute: the most characters the user can type (at least 1).
constexpr int32_t STRING_MAX_LENGTH = 1;

// Creates a field in the current gadget list; results as GadgetCreateText.
intptr_t GadgetCreateString(ObjectNumber number, int32_t x, int32_t y, int32_t width,
                            int32_t height, const Text& text, uint32_t flags = 0);

// Between GadgetProc and the native edit procedure of every field: queues the
// focus events before the field itself handles the change.
LRESULT CALLBACK StringFocusProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
