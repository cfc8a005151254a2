#pragma once
// The editor's whole text.
//
// Setting a text that begins with the editor's current text appends only the
// new tail in place and moves the view to the end, so that a receive log
// which the program grows by reading, joining and setting its whole text
// costs the same per payload however full it is. Any other text replaces the
// whole text; "" clears the editor (ClearItems).
//
// A read-only editor keeps a mirror of its text as GetText gives it, so that
// reading a large text does not copy it out of the control each time. The
// mirror is dropped by any message to the control that might change the text
// and read again on the next GetText; it is only ever used while the editor is
// read-only, so nothing the user does can change the text behind its back.
#include <windows.h>

#include "runtime/text.h"
#include "ui/gadgets/gadget_record.h"

// The kind's GetText and SetText.
Text EditorGetText(GadgetRecord* record);
void EditorSetText(GadgetRecord* record, const Text& text);

// The mirror of a control of the Unicode rich-text class (which alone can
// report the text it was given back as it keeps it): made at creation, freed
// at the control's final message.
void CreateEditorTextMirror(HWND control);
void DestroyEditorTextMirror(HWND control);
// EditorProc passes every message here before the control handles it.
void NoteEditorMessage(HWND control, UINT message);
// Whether the control's mirror holds its text now; for tests.
bool EditorTextMirrored(HWND control);
