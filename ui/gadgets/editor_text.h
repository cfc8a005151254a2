#pragma once
// The editor's whole text: read, replaced, or added to at the end.
#include "runtime/text.h"
#include "ui/gadgets/gadget_record.h"

// The kind's GetText: the control's window text.
Text EditorGetText(GadgetRecord* record);
// The kind's SetText: a text replaces the whole text; "" clears the editor
// (ClearItems).
void EditorSetText(GadgetRecord* record, const Text& text);
// The kind's AppendText: inserts text at the end without reading what the
// editor holds, so that a receive log costs the same per payload however
// full it is, and brings the end into view.
void EditorAppendText(GadgetRecord* record, const Text& text);
