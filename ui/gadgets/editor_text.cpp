#include "ui/gadgets/editor_text.h"

#include <windows.h>

#include "ui/gadgets/editor_lines.h"
#include "ui/gadgets/editor_repaint.h"
#include "ui/gadgets/gadget_text.h"
#include "ui/windows/native_text.h"

namespace {

// A position past the end: the control puts the caret at the end directly.
// (-1 would only drop the selection, and a position inside the text makes
// the rich-text control count its way there paragraph by paragraph.)
constexpr WPARAM kPastTheEnd = 0x7FFFFFFF;

} // namespace

Text EditorGetText(GadgetRecord* record) {
    return ReadWindowText(record->handle);
}

void EditorSetText(GadgetRecord* record, const Text& text) {
    if (text.empty())
        EditorClearItems(record);
    else
        WriteWindowText(record->handle, text);
}

void EditorAppendText(GadgetRecord* record, const Text& text) {
    HWND control = record->handle;
    // Drawn once the change is complete (and, many a second, together).
    // WM_SETREDRAW can make a hidden window visible again on its way back.
    const bool visible = (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    if (visible) SendMessageW(control, WM_SETREDRAW, FALSE, 0);
    SendMessageW(control, EM_SETSEL, kPastTheEnd, kPastTheEnd);
    // No undo: a log kept since Start would keep every insertion twice.
    SendMessageW(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(NativeText(text).get()));
    SendMessageW(control, EM_SCROLLCARET, 0, 0);
    if (visible) {
        SendMessageW(control, WM_SETREDRAW, TRUE, 0);
        RepaintEditorSoon(control);
    }
}
