#pragma once
// The gadget record that the gadget registry owns, and the per-kind tables of
// optional operations through which every command reaches a gadget.
//
// A gadget is a native child control addressed by a number of the caller's
// choosing (0 and up), or by its record's address when it was created with
// DynamicNumber (-1). Its control carries the number twice: as its control
// identifier and as the property KX_ID.
#include <windows.h>

#include <cstdint>

#include "runtime/object_registry.h"
#include "runtime/text.h"
#include "ui/windows/message_result.h"

// Kind numbers.
constexpr int32_t KIND_BUTTON = 1;
constexpr int32_t KIND_STRING = 2;
constexpr int32_t KIND_TEXT = 3;
constexpr int32_t KIND_EDITOR = 22;

// Colours are the platform's COLORREF layout (red in the lowest byte); -1 is
// the platform's own colour. A colour type names what a colour is for.
constexpr int32_t GADGET_COLOR_DEFAULT = -1;
constexpr int32_t GADGET_COLOR_FRONT = 1; // the text
constexpr int32_t GADGET_COLOR_BACK = 2;  // the background

// The colours of a text or string gadget.
struct GadgetColors {
    int32_t backColor;  // GADGET_COLOR_DEFAULT at creation
    int32_t frontColor; // GADGET_COLOR_DEFAULT at creation
    HBRUSH brush;       // the brush cache's brush of the back colour; null for none
};

// The state of an editor gadget.
struct EditorState {
    int32_t pendingEmptyLine; // 0 none, 1 an empty line waits to be made real, 2 made real
    int32_t backColor;
    int32_t frontColor;
    HFONT font;
};

struct GadgetKind;

struct GadgetRecord {
    HWND handle; // the native control; non-zero while the gadget exists (in-use marker)
    const GadgetKind* kind;
    WNDPROC previousProcedure; // what GadgetProc forwards every message to
    // Four fields of the kind's own (pointer-sized, so that handles fit on
    // 64-bit builds too); the button uses none.
    union {
        intptr_t kindFields[4];
        GadgetColors colors;
        EditorState editor;
    };
};

// One static table per kind, zero-filled and filled at the first creation of
// the kind; any operation may be absent (null). Operations that no command of
// the program consults are filled all the same.
struct GadgetKind {
    int32_t number; // KIND_...
    // A message the parent window received about the control; NotHandled
    // leaves it to the window procedure.
    MessageResult (*onParentMessage)(GadgetRecord* record, HWND parent, UINT message, WPARAM wParam,
                                     LPARAM lParam);
    // The native control is being destroyed (its final message).
    void (*onDestroy)(GadgetRecord* record);
    int32_t (*getState)(GadgetRecord* record);
    void (*setState)(GadgetRecord* record, int32_t state);
    // Whole text; without them the commands use the control's window text.
    Text (*getText)(GadgetRecord* record);
    void (*setText)(GadgetRecord* record, const Text& text);
    // Text added at the end, the rest left as it is; without it the command
    // joins the whole text and sets it again.
    void (*appendText)(GadgetRecord* record, const Text& text);
    // Items (the editor's lines); position -1 means after the last.
    void (*addItem)(GadgetRecord* record, int32_t position, const Text& text);
    void (*removeItem)(GadgetRecord* record, int32_t position);
    void (*clearItems)(GadgetRecord* record);
    int32_t (*countItems)(GadgetRecord* record);
    Text (*getItemText)(GadgetRecord* record, int32_t position);
    void (*setItemText)(GadgetRecord* record, int32_t position, const Text& text);
    // Without it GadgetHide shows or hides the control itself.
    void (*hide)(GadgetRecord* record, int32_t state);
    intptr_t (*getAttribute)(GadgetRecord* record, int32_t attribute);
    void (*setAttribute)(GadgetRecord* record, int32_t attribute, intptr_t value);
    void (*setColor)(GadgetRecord* record, int32_t type, int32_t color);
    int32_t (*getColor)(GadgetRecord* record, int32_t type);
    HFONT (*getFont)(GadgetRecord* record);
    void (*setFont)(GadgetRecord* record, HFONT font);
};
