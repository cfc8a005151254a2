#include "ui/gadgets/editor_gadget.h"

#include <richedit.h>

#include "runtime/program_heap.h"
#include "ui/gadgets/editor_frame.h"
#include "ui/gadgets/editor_lines.h"
#include "ui/gadgets/editor_repaint.h"
#include "ui/gadgets/editor_text.h"
#include "ui/gadgets/gadget_creation.h"
#include "ui/gadgets/gadget_list.h"
#include "ui/gadgets/gadget_registry.h"
#include "ui/gadgets/gadget_store.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/event_wait.h"
#include "ui/windows/post_event.h"
#include "ui/windows/window.h"

namespace {

// No WS_GROUP, unlike the other kinds.
constexpr DWORD kEditorBaseStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                                   ES_WANTRETURN | ES_NOHIDESEL | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                                   ES_MULTILINE;

// No size, move, z-order or activation change; the frame is computed again.
constexpr UINT kRecomputeFrame =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;
constexpr UINT kRedrawWithFrame = RDW_INVALIDATE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME;

constexpr WPARAM kNoTextLimit = 0x7FFFFFFF;

// The change notification as it comes in a WM_NOTIFY.
constexpr UINT kChangeNotification = EN_CHANGE;

struct EditorLibrary {
    GadgetKind kind;
    bool kindFilled;
    bool richText20;           // "RICHED20.DLL" loaded (and kept)
    WNDPROC richTextProcedure; // what EditorProc forwards to
};

EditorLibrary gEditor;

LRESULT Forward(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(gEditor.richTextProcedure, control, message, wParam, lParam);
}

MessageResult EditorChangeNotification(GadgetRecord* record, HWND, UINT message, WPARAM,
                                       LPARAM lParam) {
    if (message != WM_NOTIFY) return NotHandled;
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header || header->code != kChangeNotification) return NotHandled;
    PostGadgetEvent(record->handle, EVENT_TYPE_CHANGE);
    return Handled(0);
}

HFONT EditorGetFont(GadgetRecord* record) {
    return record->editor.font;
}

void EditorSetFont(GadgetRecord* record, HFONT font) {
    if (font == reinterpret_cast<HFONT>(static_cast<intptr_t>(-1))) font = DefaultGuiFont();
    record->editor.font = font;
    SendMessageW(record->handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void FillEditorKind() {
    GadgetKind& kind = gEditor.kind;
    kind = GadgetKind{};
    kind.number = KIND_EDITOR;
    kind.onParentMessage = EditorChangeNotification;
    kind.getText = EditorGetText;
    kind.setText = EditorSetText;
    kind.appendText = EditorAppendText;
    kind.addItem = EditorAddItem;
    kind.removeItem = EditorRemoveItem;
    kind.clearItems = EditorClearItems;
    kind.countItems = EditorCountItems;
    kind.getItemText = EditorGetItemText;
    kind.setItemText = EditorSetItemText;
    kind.getAttribute = EditorGetAttribute;
    kind.setAttribute = EditorSetAttribute;
    kind.setColor = EditorSetColor;
    kind.getColor = EditorGetColor;
    kind.getFont = EditorGetFont;
    kind.setFont = EditorSetFont;
    gEditor.kindFilled = true;
}

void LoadRichTextLibrary() {
    gEditor.richText20 = LoadLibraryW(L"RICHED20.DLL") != nullptr;
    if (!gEditor.richText20) LoadLibraryW(L"RICHED32.DLL");
}

// The gadget of the control, when the control is one (KX_ID equals its
// identifier and the gadget owns it).
GadgetRecord* GadgetOfControl(HWND control) {
    auto number = static_cast<ObjectNumber>(GetWindowLongPtrW(control, GWLP_ID));
    if (reinterpret_cast<ObjectNumber>(GetPropW(control, kGadgetIdProperty)) != number)
        return nullptr;
    GadgetRecord* record = FindGadget(number);
    return record && record->handle == control ? record : nullptr;
}

} // namespace

const wchar_t* EditorClassName() {
    if (!gEditor.kindFilled) return nullptr;
    return gEditor.richText20 ? L"RichEdit20W" : L"RichEdit";
}

intptr_t EditorGetAttribute(GadgetRecord* record, int32_t attribute) {
    auto which = static_cast<uint32_t>(attribute);
    if (which == EDITOR_READ_ONLY)
        return (SendMessageW(record->handle, EM_GETOPTIONS, 0, 0) & ECO_READONLY) ? 1 : 0;
    if (which == EDITOR_WORD_WRAP)
        return reinterpret_cast<intptr_t>(GetPropW(record->handle, kWordWrapProperty));
    return 0;
}

void EditorSetAttribute(GadgetRecord* record, int32_t attribute, intptr_t value) {
    auto which = static_cast<uint32_t>(attribute);
    if (which == EDITOR_READ_ONLY) {
        SendMessageW(record->handle, EM_SETREADONLY, value ? TRUE : FALSE, 0);
    } else if (which == EDITOR_WORD_WRAP) {
        // Target device 0 with width 0 wraps at the window; width 1 does not wrap.
        SendMessageW(record->handle, EM_SETTARGETDEVICE, 0, value ? 0 : 1);
        SetPropW(record->handle, kWordWrapProperty, reinterpret_cast<HANDLE>(value));
    }
}

void EditorSetColor(GadgetRecord* record, int32_t type, int32_t color) {
    HWND control = record->handle;
    if (type == GADGET_COLOR_BACK) {
        if (color == GADGET_COLOR_DEFAULT)
            SendMessageW(control, EM_SETBKGNDCOLOR, 1, 0);
        else
            SendMessageW(control, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(color));
        record->editor.backColor = color;
    } else if (type == GADGET_COLOR_FRONT) {
        CHARFORMATW format{};
        format.cbSize = sizeof(format);
        format.dwMask = CFM_COLOR;
        format.dwEffects = color == GADGET_COLOR_DEFAULT ? CFE_AUTOCOLOR : 0;
        format.crTextColor = static_cast<COLORREF>(color);
        SendMessageW(control, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
        SendMessageW(control, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
        record->editor.frontColor = color;
    }
}

int32_t EditorGetColor(GadgetRecord* record, int32_t type) {
    if (type == GADGET_COLOR_BACK) return record->editor.backColor;
    if (type == GADGET_COLOR_FRONT) return record->editor.frontColor;
    return GADGET_COLOR_DEFAULT;
}

LRESULT CALLBACK EditorProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFONT:
        // A font change resets the character format; the front colour stays.
        Forward(control, message, wParam, lParam);
        if (GadgetRecord* record = GadgetOfControl(control))
            EditorSetColor(record, GADGET_COLOR_FRONT, record->editor.frontColor);
        return 0;
    case WM_TIMER:
        if (HandleEditorRepaintTimer(control, wParam)) return 0;
        break;
    case WM_NCDESTROY:
        ForgetEditorRepaints(control);
        ProgramHeapFree(RemovePropW(control, kClientRectProperty));
        RemovePropW(control, kWordWrapProperty);
        return Forward(control, message, wParam, lParam);
    case WM_NCCALCSIZE:
        if (wParam) {
            LRESULT result = Forward(control, message, wParam, lParam);
            if (ThemedControls() &&
                ComputeThemedFrameInsets(control, reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)))
                return WVR_REDRAW;
            return result;
        }
        break;
    case WM_NCPAINT: {
        DWORD start = GetTickCount();
        Forward(control, message, wParam, lParam);
        if (ThemedControls()) PaintThemedBorder(control);
        NoteEditorPaintCost(control, message, GetTickCount() - start);
        return 0;
    }
    case WM_PAINT: {
        DWORD start = GetTickCount();
        LRESULT result = Forward(control, message, wParam, lParam);
        NoteEditorPaintCost(control, message, GetTickCount() - start);
        return result;
    }
    default:
        break;
    }
    return Forward(control, message, wParam, lParam);
}

intptr_t GadgetCreateEditor(ObjectNumber number, int32_t x, int32_t y, int32_t width,
                            int32_t height, uint32_t flags) {
    GadgetListState* state = ThreadGadgetListState();
    ThemedControlsProbe();
    if (!gEditor.kindFilled) {
        FillEditorKind();
        LoadRichTextLibrary();
        if (HMODULE themeLibrary = ThemeLibrary()) LoadThemeFunctions(themeLibrary);
    }
    // Themed, the editor draws its border itself (EditorProc).
    GadgetControlDesign design{EditorClassName(), kEditorBaseStyle | flags,
                               ThemedControls() ? 0 : static_cast<DWORD>(WS_EX_CLIENTEDGE),
                               nullptr};
    HWND control = CreateGadgetControl(number, design, x, y, width, height);
    if (!control) return 0;
    GadgetRecord* record = ObtainGadgetRecord(number, control);
    if (!record) return 0;
    record->editor.frontColor = GADGET_COLOR_DEFAULT;
    record->editor.backColor = GADGET_COLOR_DEFAULT;
    record->editor.font = state ? state->font : DefaultGuiFont();
    SetPropW(control, kClientRectProperty, ProgramHeapAllocate(sizeof(FrameInsets)));
    // Lifts the platform's default limit of the text's length (32767). The
    // largest positive limit: -1 reads as a negative limit, which the control
    // takes as "no more than there is", and then refuses every typed
    // character.
    SendMessageW(control, EM_LIMITTEXT, kNoTextLimit, 0);
    gEditor.richTextProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditorProc)));
    SetWindowPos(control, nullptr, 0, 0, 0, 0, kRecomputeFrame);
    RedrawWindow(control, nullptr, nullptr, kRedrawWithFrame);
    LRESULT mask = SendMessageW(control, EM_GETEVENTMASK, 0, 0);
    SendMessageW(control, EM_SETEVENTMASK, 0, mask | ENM_CHANGE);
    FlushMessages();
    intptr_t result = GadgetRegister(number, record, control, &gEditor.kind);
    if (flags & EDITOR_WORD_WRAP) EditorSetAttribute(record, EDITOR_WORD_WRAP, 1);
    return result;
}
