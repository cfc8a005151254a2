#pragma once
// The editor's lines (its items). Positions are line numbers from 0; -1 means
// after the last line. Lines are separated by a single line feed; the control
// keeps each as a paragraph break, which its whole text reads as CR LF.
//
// The pending-empty-line mark records that an empty line was added to an
// empty editor, which the control's text alone cannot show: 0 none, 1 pending,
// 2 made real by the next line added after it.
#include <cstdint>

#include "runtime/text.h"
#include "ui/gadgets/gadget_record.h"

void EditorAddItem(GadgetRecord* record, int32_t position, const Text& text);
void EditorRemoveItem(GadgetRecord* record, int32_t position);
// Empties the editor and forgets a pending empty line.
void EditorClearItems(GadgetRecord* record);
// 0 for an empty editor without a pending empty line, else the control's count.
int32_t EditorCountItems(GadgetRecord* record);
// A line's text without its paragraph break.
Text EditorGetItemText(GadgetRecord* record, int32_t position);
void EditorSetItemText(GadgetRecord* record, int32_t position, const Text& text);
