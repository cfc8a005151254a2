#include "ui/gadgets/editor_text.h"

#include <richedit.h>

#include <algorithm>
#include <new>
#include <string>
#include <string_view>

#include "runtime/cp1251.h"
#include "runtime/program_heap.h"
#include "ui/gadgets/editor_lines.h"
#include "ui/gadgets/editor_repaint.h"
#include "ui/gadgets/gadget_text.h"

namespace {

constexpr const wchar_t* kMirrorProperty = L"KX_TextMirror";

// Room left behind a text that GetText hands out, so that a caller who joins
// one received payload to it does not move the whole text.
constexpr size_t kJoinRoom = 2048;

struct TextMirror {
    Text text;        // the text as GetText gives it, while valid
    bool valid;       // text is the control's text
    bool appending;   // AppendTail keeps text through its own change
    uint32_t changes; // messages that may have changed the text, counted
};

TextMirror* MirrorOf(HWND control) {
    return static_cast<TextMirror*>(GetPropW(control, kMirrorProperty));
}

bool IsReadOnly(HWND control) {
    return (SendMessageW(control, EM_GETOPTIONS, 0, 0) & ECO_READONLY) != 0;
}

void Invalidate(TextMirror* mirror) {
    mirror->valid = false;
    Text().swap(mirror->text); // a large text is not kept for nothing
}

// The mirror of a read-only control, read anew when it was dropped; null
// when the control has none or is editable.
TextMirror* CurrentMirror(HWND control) {
    TextMirror* mirror = MirrorOf(control);
    if (!mirror) return nullptr;
    if (!IsReadOnly(control)) {
        if (mirror->valid) Invalidate(mirror);
        return nullptr;
    }
    if (!mirror->valid) {
        bool exact = false;
        mirror->text = ReadWindowText(control, &exact);
        // A text with characters that the code page cannot hold reads back
        // with "?" in their place; it is never mirrored.
        mirror->valid = exact;
        if (!exact) Text().swap(mirror->text);
    }
    return mirror->valid ? mirror : nullptr;
}

// Messages after which the control's text is what it was. Everything else
// drops the mirror (it is read again when next needed).
bool LeavesTextAlone(UINT message) {
    switch (message) {
    case WM_PAINT:
    case WM_NCPAINT:
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT:
    case WM_NCCALCSIZE:
    case WM_NCHITTEST:
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_MOUSEACTIVATE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_CAPTURECHANGED:
    case WM_TIMER:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_GETFONT:
    case WM_SETFONT:
    case WM_GETDLGCODE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_MOVE:
    case WM_SIZE:
    case WM_SHOWWINDOW:
    case WM_ENABLE:
    case WM_SETREDRAW:
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_QUERYUISTATE:
    case WM_UPDATEUISTATE:
    case WM_CHANGEUISTATE:
    case WM_SYSCOLORCHANGE:
    case EM_GETSEL:
    case EM_SETSEL:
    case EM_EXGETSEL:
    case EM_EXSETSEL:
    case EM_GETLINECOUNT:
    case EM_LINEINDEX:
    case EM_LINELENGTH:
    case EM_GETLINE:
    case EM_LINEFROMCHAR:
    case EM_EXLINEFROMCHAR:
    case EM_GETFIRSTVISIBLELINE:
    case EM_POSFROMCHAR:
    case EM_CHARFROMPOS:
    case EM_SCROLL:
    case EM_LINESCROLL:
    case EM_SCROLLCARET:
    case EM_GETSCROLLPOS:
    case EM_SETSCROLLPOS:
    case EM_GETRECT:
    case EM_GETLIMITTEXT:
    case EM_LIMITTEXT:
    case EM_GETMODIFY:
    case EM_GETOPTIONS:
    case EM_GETEVENTMASK:
    case EM_SETEVENTMASK:
    case EM_HIDESELECTION:
    case EM_GETTEXTEX:
    case EM_GETTEXTLENGTHEX:
    case EM_GETTEXTRANGE:
    case EM_GETSELTEXT:
    case EM_GETCHARFORMAT:
    case EM_SETCHARFORMAT:
    case EM_SETBKGNDCOLOR:
    case EM_SETTARGETDEVICE:
        return true;
    default:
        return false;
    }
}

// Room for the mirror to grow into: an eighth of the text, so that appends
// copy the text rarely and the headroom stays small beside the text itself.
void ReserveToAppend(Text* text, size_t more) {
    size_t needed = text->size() + more;
    if (text->capacity() < needed) text->reserve(needed + needed / 8 + 4096);
}

// A position past the end: the control puts the caret at the end without
// counting its way there paragraph by paragraph, as it does for a position
// inside the text (which costs time that grows with the text).
constexpr WPARAM kPastTheEnd = 0x7FFFFFFF;

// The length of the text in characters: with each paragraph break counted as
// one, or (crLf) as the two characters it reads back as.
LRESULT TextLength(HWND control, bool crLf) {
    GETTEXTLENGTHEX length{
        static_cast<DWORD>(GTL_NUMCHARS | GTL_PRECISE | (crLf ? GTL_USECRLF : 0)), 1200};
    return SendMessageW(control, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
}

// How the control reads back a tail appended at the end: each CR LF, lone CR
// and lone LF is one paragraph break that reads back as CR LF. False for a
// tail the control may keep some other way (other control characters, CR CR
// LF, bytes that do not survive the code page); those are read back instead.
bool PredictReadBack(std::string_view tail, const std::u16string& chars, Text* added,
                     size_t* breaks) {
    *breaks = 0;
    added->clear();
    added->reserve(tail.size() + tail.size() / 2);
    for (size_t i = 0; i < tail.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(tail[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < tail.size() && tail[i + 1] == '\r') return false;
            if (c == '\r' && i + 1 < tail.size() && tail[i + 1] == '\n') ++i;
            added->append("\r\n");
            ++*breaks;
        } else if (c < 0x20 && c != '\t') {
            return false;
        } else {
            added->push_back(static_cast<char>(c));
        }
    }
    return Utf16ToCp1251(chars) == tail;
}

// The text from start to the end as WM_GETTEXT would give it (paragraph
// breaks as CR LF). False when it could not be read whole, or held characters
// that the code page cannot hold.
bool ReadTextFrom(HWND control, LRESULT start, size_t insertedChars, Text* added) {
    SendMessageW(control, EM_SETSEL, start, -1);
    // A paragraph break reads as two characters where one was inserted.
    std::wstring buffer(2 * insertedChars + 2, L'\0');
    GETTEXTEX request{};
    request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    request.flags = GT_SELECTION | GT_USECRLF;
    request.codepage = 1200;
    LRESULT copied = SendMessageW(control, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                                  reinterpret_cast<LPARAM>(buffer.data()));
    if (copied < 0 || static_cast<size_t>(copied) + 1 >= buffer.size()) return false;
    std::u16string_view chars(reinterpret_cast<const char16_t*>(buffer.data()),
                              static_cast<size_t>(copied));
    *added = Utf16ToCp1251(chars);
    return static_cast<size_t>(std::count(chars.begin(), chars.end(), u'?')) ==
               static_cast<size_t>(std::count(added->begin(), added->end(), '?')) &&
           added->size() == chars.size();
}

// Appends tail at the end of the text, keeps the mirror (when given, valid)
// and leaves the caret at the end with the end in view. Drawing waits until
// the change is complete, so the control paints once, later.
//
// The mirror takes the tail as the control reads it back, since the control
// keeps line breaks its own way ("\n" and "\r" alike become a paragraph
// break, which reads as CR LF). It is kept only when the insertion was the one
// change: anything the change notification set off in between that changed
// the text (or read it afresh) has its way instead.
void AppendTail(HWND control, std::string_view tail, TextMirror* mirror) {
    // WM_SETREDRAW can make a hidden window visible again on its way back.
    const bool visible = (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    if (visible) SendMessageW(control, WM_SETREDRAW, FALSE, 0);

    std::u16string chars = Cp1251ToUtf16(tail);
    LRESULT start = TextLength(control, false);
    LRESULT startCrLf = TextLength(control, true);
    SendMessageW(control, EM_SETSEL, kPastTheEnd, kPastTheEnd);
    uint32_t before = mirror ? mirror->changes : 0;
    if (mirror) mirror->appending = true;
    SendMessageW(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(chars.c_str()));
    if (mirror) {
        mirror->appending = false;
        // The tail as the control reads it back: predicted, when both lengths
        // of the text grew by what the prediction says, else read from the
        // control (exact, but the selection it needs costs time that grows
        // with the text).
        Text added;
        size_t breaks = 0;
        bool readBack =
            PredictReadBack(tail, chars, &added, &breaks) &&
            TextLength(control, false) - start == static_cast<LRESULT>(added.size() - breaks) &&
            TextLength(control, true) - startCrLf == static_cast<LRESULT>(added.size());
        if (!readBack) readBack = ReadTextFrom(control, start, chars.size(), &added);
        if (!mirror->valid) { // not read afresh meanwhile
            if (readBack && mirror->changes == before + 1) {
                ReserveToAppend(&mirror->text, added.size());
                mirror->text += added;
                mirror->valid = true;
            } else {
                Invalidate(mirror);
            }
        }
    }
    SendMessageW(control, EM_SETSEL, kPastTheEnd, kPastTheEnd);
    SendMessageW(control, EM_SCROLLCARET, 0, 0);

    if (visible) {
        SendMessageW(control, WM_SETREDRAW, TRUE, 0);
        RepaintEditorSoon(control);
    }
}

Text CopyWithJoinRoom(const Text& text) {
    Text copy;
    copy.reserve(text.size() + kJoinRoom);
    copy.append(text);
    return copy;
}

} // namespace

void CreateEditorTextMirror(HWND control) {
    void* block = ProgramHeapAllocate(sizeof(TextMirror));
    if (!block) return; // no mirror: every text is read from the control
    auto* mirror = new (block) TextMirror{};
    if (!SetPropW(control, kMirrorProperty, mirror)) {
        mirror->~TextMirror();
        ProgramHeapFree(block);
    }
}

void DestroyEditorTextMirror(HWND control) {
    auto* mirror = static_cast<TextMirror*>(RemovePropW(control, kMirrorProperty));
    if (!mirror) return;
    mirror->~TextMirror();
    ProgramHeapFree(mirror);
}

void NoteEditorMessage(HWND control, UINT message) {
    if (LeavesTextAlone(message)) return;
    TextMirror* mirror = MirrorOf(control);
    if (!mirror) return;
    ++mirror->changes;
    if (mirror->appending)
        mirror->valid = false; // AppendTail still needs the text
    else
        Invalidate(mirror);
}

bool EditorTextMirrored(HWND control) {
    TextMirror* mirror = MirrorOf(control);
    return mirror && mirror->valid;
}

Text EditorGetText(GadgetRecord* record) {
    if (TextMirror* mirror = CurrentMirror(record->handle)) return CopyWithJoinRoom(mirror->text);
    return ReadWindowText(record->handle);
}

void EditorSetText(GadgetRecord* record, const Text& text) {
    if (text.empty()) {
        EditorClearItems(record);
        return;
    }
    HWND control = record->handle;
    if (MirrorOf(control)) { // the Unicode rich-text class: the tail can be read back
        TextMirror* mirror = CurrentMirror(control);
        Text read;
        bool exact = true;
        if (!mirror) read = ReadWindowText(control, &exact);
        const Text& current = mirror ? mirror->text : read;
        if (exact && text.size() >= current.size() &&
            std::string_view(text).substr(0, current.size()) == current) {
            if (text.size() > current.size())
                AppendTail(control, std::string_view(text).substr(current.size()), mirror);
            return;
        }
    }
    WriteWindowText(control, text);
}
