#include "ui/gadgets/editor_lines.h"

#include <windows.h>

#include <richedit.h>

#include <string>

#include "runtime/cp1251.h"
#include "ui/gadgets/gadget_text.h"
#include "ui/windows/native_text.h"

namespace {

LRESULT Send(GadgetRecord* record, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(record->handle, message, wParam, lParam);
}

// Every insertion replaces the selection and may be undone.
void Insert(GadgetRecord* record, const Text& text) {
    Send(record, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(NativeText(text).get()));
}

void PutCaret(GadgetRecord* record, LRESULT position) {
    Send(record, EM_SETSEL, static_cast<WPARAM>(position), position);
}

LRESULT LineStart(GadgetRecord* record, int32_t line) {
    return Send(record, EM_LINEINDEX, static_cast<WPARAM>(static_cast<intptr_t>(line)));
}

bool TextIsEmpty(GadgetRecord* record) {
    return Send(record, WM_GETTEXTLENGTH) == 0;
}

// Changes of lines hide the selection while they are made.
struct SelectionHidden {
    explicit SelectionHidden(GadgetRecord* record) : record_(record) {
        Send(record_, EM_HIDESELECTION, TRUE);
    }
    ~SelectionHidden() { Send(record_, EM_HIDESELECTION, FALSE); }
    GadgetRecord* record_;
};

constexpr int32_t kNoEmptyLine = 0;
constexpr int32_t kEmptyLinePending = 1;
constexpr int32_t kEmptyLineMade = 2;

} // namespace

void EditorAddItem(GadgetRecord* record, int32_t position, const Text& text) {
    SelectionHidden hidden(record);
    int32_t& mark = record->editor.pendingEmptyLine;
    LRESULT start = LineStart(record, position);
    if (start == -1 || position == -1) {
        LRESULT length = Send(record, WM_GETTEXTLENGTH);
        PutCaret(record, length);
        if (mark == kEmptyLinePending) {
            Insert(record, "\n");
            mark = kEmptyLineMade;
        }
        if (length != 0)
            Insert(record, "\n");
        else if (text.empty() && mark == kNoEmptyLine)
            mark = kEmptyLinePending;
        Insert(record, text);
        return;
    }
    PutCaret(record, start);
    Insert(record, text);
    Insert(record, "\n");
}

void EditorRemoveItem(GadgetRecord* record, int32_t position) {
    SelectionHidden hidden(record);
    Send(record, EM_SETSEL, static_cast<WPARAM>(LineStart(record, position)),
         LineStart(record, position + 1));
    Insert(record, "");
    if (TextIsEmpty(record)) record->editor.pendingEmptyLine = kNoEmptyLine;
}

void EditorClearItems(GadgetRecord* record) {
    WriteWindowText(record->handle, "");
    record->editor.pendingEmptyLine = kNoEmptyLine;
}

int32_t EditorCountItems(GadgetRecord* record) {
    if (TextIsEmpty(record) && record->editor.pendingEmptyLine == kNoEmptyLine) return 0;
    return static_cast<int32_t>(Send(record, EM_GETLINECOUNT));
}

Text EditorGetItemText(GadgetRecord* record, int32_t position) {
    LRESULT start = LineStart(record, position);
    LRESULT length = Send(record, EM_LINELENGTH, static_cast<WPARAM>(start));
    // Room for the line, its paragraph break and a terminator.
    size_t size = static_cast<size_t>(length < 0 ? 0 : length) + 3;
    std::wstring buffer(size, L'\0');
    LRESULT copied;
    if (size <= 0xFFFF) {
        // The first character tells the control how many characters fit.
        buffer[0] = static_cast<wchar_t>(size);
        copied = Send(record, EM_GETLINE, static_cast<WPARAM>(static_cast<intptr_t>(position)),
                      reinterpret_cast<LPARAM>(buffer.data()));
    } else {
        // A line longer than that count can say is read as a range.
        TEXTRANGEW range{{static_cast<LONG>(start), static_cast<LONG>(start + length)},
                         buffer.data()};
        copied = Send(record, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    }
    size_t count = copied > 0 ? static_cast<size_t>(copied) : 0;
    if (count > size) count = size;
    if (count > 0 && buffer[count - 1] == L'\r') --count;
    return Utf16ToCp1251(
        std::u16string_view(reinterpret_cast<const char16_t*>(buffer.data()), count));
}

void EditorSetItemText(GadgetRecord* record, int32_t position, const Text& text) {
    SelectionHidden hidden(record);
    LRESULT start = LineStart(record, position);
    LRESULT length = Send(record, EM_LINELENGTH, static_cast<WPARAM>(start));
    Send(record, EM_SETSEL, static_cast<WPARAM>(start), start + length);
    Insert(record, text);
}
