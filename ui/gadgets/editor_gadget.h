#pragma once
// The editor gadget: a multi-line rich-text box without a length limit,
// whose text the program sets and reads whole (editor_text.h) or by lines
// (editor_lines.h). The rich-text library is loaded at the first creation:
// "RICHED20.DLL" and its Unicode class "RichEdit20W", else "RICHED32.DLL"
// and its class "RichEdit".
#include <windows.h>

#include <cstdint>

#include "runtime/object_registry.h"
#include "ui/gadgets/gadget_record.h"

// Creation flags; every other bit is a native style bit and passes through.
constexpr uint32_t EDITOR_READ_ONLY = ES_READONLY; // the program alone changes the text
constexpr uint32_t EDITOR_WORD_WRAP = 0x10000000;  // lines wrap at the editor's width

// Type of the EVENT_GADGET event of a change notification.
constexpr int32_t EVENT_TYPE_CHANGE = 768;

// Per-editor native properties.
constexpr const wchar_t* kClientRectProperty = L"KX_ClientRect"; // FrameInsets, program heap
constexpr const wchar_t* kWordWrapProperty = L"KX_WordWrap";     // last word-wrap attribute value

// Creates an editor in the current gadget list (it has no text argument);
// results as GadgetCreateText. Fails (0) where no rich-text library loads.
intptr_t GadgetCreateEditor(ObjectNumber number, int32_t x, int32_t y, int32_t width,
                            int32_t height, uint32_t flags = 0);

// Between GadgetProc and the rich-text procedure of every editor: the front
// colour after a font change, the themed frame, and the clean-up of the
// editor's properties at its final message.
LRESULT CALLBACK EditorProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

// The class editors are made of; null before the first editor creation.
const wchar_t* EditorClassName();

// Kind operations (reached through the kind table; named here for tests).
intptr_t EditorGetAttribute(GadgetRecord* record, int32_t attribute);
void EditorSetAttribute(GadgetRecord* record, int32_t attribute, intptr_t value);
void EditorSetColor(GadgetRecord* record, int32_t type, int32_t color);
int32_t EditorGetColor(GadgetRecord* record, int32_t type);
