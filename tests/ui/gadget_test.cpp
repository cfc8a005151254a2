// Gadgets of every kind: creation, numbers, the common commands, the gadget
// list, fields, buttons and colours.
#include <thread>
#include <tuple>

#include "tests/support/ui_fixture.h"
#include "ui/gadgets/brush_cache.h"
#include "ui/gadgets/gadget_list.h"

namespace {

ObjectNumber IdentifierOf(HWND control) {
    return static_cast<ObjectNumber>(GetWindowLongPtrW(control, GWLP_ID));
}
ObjectNumber MarkOf(HWND control) {
    return reinterpret_cast<ObjectNumber>(GetPropW(control, L"KX_ID"));
}

// Makes every window creation of the calling thread fail.
LRESULT CALLBACK VetoCreation(int code, WPARAM wParam, LPARAM lParam) {
    return code == HCBT_CREATEWND ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
}

using GadgetTest = GadgetsTest;

const char kPort[] = "\xCF\xEE\xF0\xF2:"; // "Порт:" in Windows-1251

} // namespace

TEST_F(GadgetTest, EachKindIsItsNativeControlCarryingTheNumberTwiceWithItsFlags) {
    HWND window = OpenWindow();
    // The gadget made; its class, kind, styles among others, whether it has the sunken edge
    // (the editor's too, as the test programs run without visual styles).
    const std::tuple<intptr_t, const wchar_t*, int32_t, LONG_PTR, bool> cases[] = {
        {GadgetCreateText(1, 0, 0, 80, 20, kPort), L"Static", KIND_TEXT, SS_LEFT, false},
        {GadgetCreateText(2, 0, 0, 80, 20, kPort, TEXT_CENTER | SS_NOPREFIX), L"Static", KIND_TEXT,
         SS_CENTER | SS_NOPREFIX, false},
        {GadgetCreateText(3, 0, 0, 80, 20, kPort, TEXT_RIGHT | TEXT_BORDER), L"Static", KIND_TEXT,
         SS_RIGHT, true},
        {GadgetCreateString(4, 0, 0, 80, 20, kPort), L"Edit", KIND_STRING,
         WS_TABSTOP | ES_AUTOHSCROLL, true},
        {GadgetCreateString(5, 0, 0, 80, 20, kPort, STRING_BORDERLESS | STRING_NUMERIC), L"Edit",
         KIND_STRING, ES_NUMBER, false},
        {GadgetCreateButton(6, 0, 0, 80, 20, kPort), L"Button", KIND_BUTTON, 0, false},
        {GadgetCreateEditor(7, 0, 0, 200, 80, EDITOR_READ_ONLY), L"RichEdit20W", KIND_EDITOR,
         ES_READONLY, true},
    };
    const LONG_PTR child = WS_CHILD | WS_VISIBLE;
    for (ObjectNumber number = 1; number <= 7; ++number) {
        SCOPED_TRACE(number);
        const auto& [created, classWanted, kind, style, clientEdge] = cases[number - 1];
        HWND control = Handle(created);
        ASSERT_NE(Record(number), nullptr);
        wchar_t className[32] = {};
        GetClassNameW(control, className, 32);
        EXPECT_STREQ(className, classWanted);
        EXPECT_TRUE(IdentifierOf(control) == number && MarkOf(control) == number);
        EXPECT_TRUE(Record(number)->handle == control && Record(number)->kind->number == kind);
        EXPECT_EQ(GetWindowLongPtrW(control, GWL_STYLE) & (style | child), style | child);
        EXPECT_EQ((GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, clientEdge);
        if (kind == KIND_EDITOR) continue; // the rich-text control answers no WM_GETFONT
        EXPECT_EQ(SendMessageW(control, WM_GETFONT, 0, 0),
                  reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
        EXPECT_EQ(Native(control), u"\u041F\u043E\u0440\u0442:");
    }
}

// A creation that cannot be made leaves the gadget of its number alone; one
// that can destroys it first, with its queued events.
TEST_F(GadgetTest, ReusingANumberDestroysTheOldGadgetFirstOnlyOnceTheNewOneCanBeMade) {
    HWND window = OpenWindow();
    HWND old = Handle(GadgetCreateText(4, 10, 10, 80, 20, "old"));
    HHOOK veto = SetWindowsHookExW(WH_CBT, VetoCreation, nullptr, GetCurrentThreadId());
    EXPECT_EQ(GadgetCreateButton(4, 10, 40, 80, 20, "new"), 0); // the platform refuses
    EXPECT_EQ(GadgetCreateEditor(4, 10, 40, 80, 20), 0);
    UnhookWindowsHookEx(veto);
    EXPECT_EQ(GadgetCreateText(-2, 0, 0, 10, 10, "x"), 0); // numbers below -1
    GadgetRecord* record = Record(4);
    EXPECT_TRUE(record->handle == old && GadgetGetText(4) == "old");
    EXPECT_TRUE(GetWindow(window, GW_CHILD) == old && !GetWindow(old, GW_HWNDNEXT));
    record->kind->setColor(record, GADGET_COLOR_BACK, RGB(1, 2, 3));
    HBRUSH brush = record->colors.brush;
    GadgetCreateButton(5, 10, 40, 80, 20, "other");
    Drain();
    EventPost(EVENT_GADGET, 4, 0, 1);
    EventPost(EVENT_GADGET, 5, 0, 1);
    EventPost(EVENT_GADGET, 4, 0, 2);
    HWND replacement = Handle(GadgetCreateButton(4, 10, 70, 80, 20, "new"));
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(Record(4), record); // the same record, handed back emptied
    EXPECT_TRUE(record->handle == replacement && record->kind->number == KIND_BUTTON);
    EXPECT_EQ(BrushReferences(brush), 0); // the old kind's clean-up ran
    std::vector<Delivered> events = GadgetEvents(Drain());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, 5);
}

// A dynamic number is the record's address and serves every command as a
// fixed one does.
TEST_F(GadgetTest, CommandsHideDisableSetAndFreeAndIgnoreNumbersWithoutAGadget) {
    HWND window = OpenWindow();
    GadgetCreateButton(1, 10, 10, 80, 20, "b");
    intptr_t dynamic = GadgetCreateString(DynamicNumber, 10, 40, 80, 20, "full");
    ASSERT_TRUE(dynamic && reinterpret_cast<intptr_t>(Record(dynamic)) == dynamic);
    HWND editor = Handle(GadgetCreateEditor(60, 10, 70, 80, 60));
    EXPECT_TRUE(IdentifierOf(Record(dynamic)->handle) == dynamic &&
                MarkOf(Record(dynamic)->handle) == dynamic);
    GadgetHide(77, 1);
    GadgetDisable(77, 1);
    GadgetSetText(77, "x");
    EXPECT_TRUE(GadgetGetText(77).empty() && GadgetFree(77) == 0 && GadgetFree(3) == 0);
    for (intptr_t number : {intptr_t{1}, dynamic}) {
        SCOPED_TRACE(number);
        HWND control = Record(number)->handle;
        GadgetHide(number, 1);
        GadgetDisable(number, 5);
        EXPECT_FALSE(IsWindowVisible(control) || IsWindowEnabled(control));
        GadgetHide(number, 0);
        GadgetDisable(number, 0);
        EXPECT_TRUE(IsWindowVisible(control) && IsWindowEnabled(control));
        EXPECT_EQ(GadgetFree(number), 1);
        EXPECT_TRUE(!IsWindow(control) && !Record(number) && GadgetFree(number) == 0);
    }
    EXPECT_NE(GadgetCreateText(1, 10, 10, 80, 20, "again"), 0);
    EXPECT_EQ(GadgetFree(-1), 0); // every gadget, but not the window
    EXPECT_TRUE(!IsWindow(editor) && !Record(1) && IsWindow(window));
}

// A procedure in front of GadgetProc, and one behind it in place of the
// control's own, so that the order of the final message's handling shows.
static WNDPROC gGadgetProcedure, gNativeProcedure;
static std::vector<ObjectNumber> gSeen; // identifier, mark and record: behind, then in front
static LRESULT CALLBACK Behind(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) gSeen = {IdentifierOf(control), MarkOf(control), !!FindGadget(9)};
    return CallWindowProcW(gNativeProcedure, control, message, wParam, lParam);
}
static LRESULT CALLBACK InFront(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcW(gGadgetProcedure, control, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        gSeen.insert(gSeen.end(), {IdentifierOf(control), MarkOf(control), !!FindGadget(9)});
    return result;
}

TEST_F(GadgetTest, FinalMessageReachesTheControlFirstThenTheGadgetIsCleanedUp) {
    OpenWindow();
    HWND control = Handle(GadgetCreateString(9, 10, 10, 80, 20, "x"));
    gNativeProcedure = Record(9)->previousProcedure;
    Record(9)->previousProcedure = Behind;
    gGadgetProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InFront)));
    EventPost(EVENT_GADGET, 9, 0, 0);
    EXPECT_EQ(GadgetFree(9), 1);
    EXPECT_EQ(gSeen, (std::vector<ObjectNumber>{9, 9, 1, -1, 0, 0}));
    EXPECT_TRUE(GadgetEvents(Drain()).empty());
}

// A check box's state through its kind reads as 0 or 1; the gadget's
// procedure serves only a control that is its number's gadget.
TEST_F(GadgetTest, CheckBoxStateReadsAsZeroOrOneOnlyFromAControlThatIsItsNumbersGadget) {
    OpenWindow();
    HWND box = Handle(GadgetCreateButton(2, 10, 10, 80, 20, "box", BS_AUTO3STATE));
    GadgetRecord* record = Record(2);
    // The state set (-1: the third state, set natively); the check, the state read.
    const int32_t states[][3] = {{-1, BST_INDETERMINATE, 0},
                                 {1, BST_CHECKED, 1},
                                 {0, BST_UNCHECKED, 0},
                                 {7, BST_CHECKED, 1}};
    for (const auto& [state, check, read] : states) {
        SCOPED_TRACE(state);
        if (state < 0) SendMessageW(box, BM_SETCHECK, BST_INDETERMINATE, 0);
        if (state >= 0) record->kind->setState(record, state);
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), check);
        EXPECT_EQ(record->kind->getState(record), read);
    }
    SetWindowLongPtrW(box, GWLP_ID, -1); // identifier -1: the default procedure
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), 0);
    SetWindowLongPtrW(box, GWLP_ID, 2);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED); // as the last row left it
}

TEST_F(GadgetTest, EachWindowIsAGadgetListAndEachThreadHasItsOwnCurrentOne) {
    auto parentOfNew = [](ObjectNumber number) {
        HWND control = Handle(GadgetCreateButton(number, 5, 5, 40, 20, "b"));
        return control ? GetParent(control) : nullptr;
    };
    HWND a = OpenWindow(0);
    HWND b = OpenWindow(1);
    EXPECT_EQ(parentOfNew(1), b);
    EXPECT_EQ(GadgetListUse(a), b);
    EXPECT_EQ(parentOfNew(2), a);
    EXPECT_TRUE(GadgetListUse(a) == a && GadgetListUse(nullptr) == a); // nothing changes
    EXPECT_EQ(parentOfNew(3), a);
    EXPECT_EQ(GadgetListUse(b), a);
    EXPECT_EQ(parentOfNew(4), b);
    HWND seen = a, list = nullptr, parent = nullptr;
    std::thread([&] {
        seen = GadgetListUse(nullptr);
        list = Handle(WindowOpen(5, 300, 20, 100, 100, "other thread", 0, nullptr));
        parent = parentOfNew(8);
        WindowClose(5);
    }).join();
    EXPECT_TRUE(!seen && list && parent == list);
    EXPECT_EQ(GadgetListUse(nullptr), b);
    // The current list destroyed: none until another is made current.
    WindowClose(1);
    EXPECT_EQ(GadgetListUse(nullptr), nullptr);
    EXPECT_EQ(GadgetCreateText(6, 0, 0, 20, 20, "nowhere"), 0);
    EXPECT_EQ(GadgetListUse(a), nullptr);
    EXPECT_EQ(parentOfNew(6), a);
}

// The editor's text with its breaks and bytes is read back in the editor
// test's lines and appends; a character that Windows-1251 cannot hold reads
// as "?" in the conversion's own test (cp1251_test).
TEST_F(GadgetTest, EveryByteRoundTripsThroughAFieldAsItsCharacter) {
    ASSERT_EQ(GetACP(), 1252u) << "run with LC_ALL=en_US.UTF-8";
    OpenWindow();
    Text bytes;
    for (int b = 1; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    HWND field = Handle(GadgetCreateString(1, 10, 10, 200, 20, bytes));
    EXPECT_EQ(Native(field), Cp1251ToUtf16(bytes));
    EXPECT_EQ(GadgetGetText(1), bytes);
}

// The field tells its parent about the new focus while it handles the change
// itself; by then the focus events must be in the queue.
static WNDPROC gParentProcedure;
static int32_t gQueuedAtNotice = -1;
static LRESULT CALLBACK WatchFocusNotice(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == EN_SETFOCUS)
        gQueuedAtNotice = EventQueueLength();
    return CallWindowProcW(gParentProcedure, window, message, wParam, lParam);
}

TEST_F(GadgetTest, FieldsTellOfTheFocusBeforeTheyHandleItAndKeepALengthLimitOfAtLeastOne) {
    HWND window = OpenWindow(3);
    HWND first = Handle(GadgetCreateString(1, 10, 10, 100, 20, ""));
    HWND second = Handle(GadgetCreateString(2, 10, 40, 100, 20, ""));
    ASSERT_TRUE(Focus(first));
    Drain();
    gParentProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchFocusNotice)));
    ASSERT_TRUE(Focus(second));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gParentProcedure));
    EXPECT_EQ(gQueuedAtNotice, 2);
    std::vector<std::vector<intptr_t>> focus; // type, gadget, window
    for (const Delivered& d : GadgetEvents(Drain()))
        if (d.type == EVENT_TYPE_FOCUS || d.type == EVENT_TYPE_LOST_FOCUS)
            focus.push_back({d.type, d.gadget, d.window});
    EXPECT_EQ(focus, (std::vector<std::vector<intptr_t>>{{EVENT_TYPE_LOST_FOCUS, 1, 3},
                                                         {EVENT_TYPE_FOCUS, 2, 3}}));
    // A field's length limit, as the control holds it, is at least 1; its
    // other attributes mean nothing and leave the limit as it is.
    GadgetRecord* record = Record(2);
    const int32_t max = STRING_MAX_LENGTH;
    // The attribute set and its value; the limit after it.
    const std::tuple<int32_t, int32_t, intptr_t> limits[] = {
        {max, 0, 1}, {max, -5, 1}, {max, 3, 3}, {2, 50, 3}};
    for (const auto& [attribute, value, limit] : limits) {
        SCOPED_TRACE(value);
        record->kind->setAttribute(record, attribute, value);
        EXPECT_EQ(record->kind->getAttribute(record, max), limit);
    }
    EXPECT_EQ(record->kind->getAttribute(record, 2), 0);
}

// Colours of labels and fields as the parent answers a control's request for
// them: left to the platform while both are the platform's; a back colour
// paints with a brush shared by the gadgets of that colour.
TEST_F(GadgetTest, ColourRequestsAreAnsweredWithTheGadgetsColoursAndBrushesShared) {
    HWND window = OpenWindow();
    HWND label = Handle(GadgetCreateText(1, 10, 10, 80, 20, "label"));
    HWND field = Handle(GadgetCreateString(2, 10, 40, 80, 20, "field"));
    GadgetCreateText(0, 10, 70, 80, 20, "other");
    const int32_t entries = BrushCacheSize(), red = RGB(200, 0, 0), blue = RGB(0, 0, 190);
    HDC dc = CreateCompatibleDC(nullptr);
    auto ask = [&](HWND control, UINT message, bool platform = false) {
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(1, 2, 3));
        auto [w, l] = std::pair(reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
        return platform ? DefWindowProcW(window, message, w, l)
                        : SendMessageW(window, message, w, l);
    };
    auto set = [](ObjectNumber number, int32_t type, int32_t color) {
        Record(number)->kind->setColor(Record(number), type, color);
    };
    EXPECT_EQ(ask(label, WM_CTLCOLORSTATIC), ask(label, WM_CTLCOLORSTATIC, true));
    EXPECT_EQ(ask(field, WM_CTLCOLOREDIT), ask(field, WM_CTLCOLOREDIT, true));
    set(2, GADGET_COLOR_FRONT, red);
    EXPECT_EQ(ask(field, WM_CTLCOLOREDIT),
              reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
    EXPECT_TRUE(GetTextColor(dc) == RGB(200, 0, 0) && GetBkColor(dc) == GetSysColor(COLOR_WINDOW));
    for (ObjectNumber number : {1, 2, 0})
        set(number, GADGET_COLOR_BACK, blue);
    HBRUSH shared = Record(1)->colors.brush;
    EXPECT_TRUE(Record(2)->colors.brush == shared && Record(0)->colors.brush == shared);
    EXPECT_TRUE(BrushReferences(shared) == 3 && BrushCacheSize() == entries + 1);
    EXPECT_EQ(ask(label, WM_CTLCOLORSTATIC), reinterpret_cast<LRESULT>(shared));
    EXPECT_TRUE(GetTextColor(dc) == RGB(1, 2, 3) && GetBkColor(dc) == RGB(0, 0, 190));
    EXPECT_EQ(ask(label, WM_CTLCOLOREDIT), ask(label, WM_CTLCOLOREDIT, true));   // statics only
    EXPECT_EQ(ask(field, WM_CTLCOLORSTATIC), reinterpret_cast<LRESULT>(shared)); // while enabled
    GadgetDisable(2, 1);
    EXPECT_EQ(ask(field, WM_CTLCOLORSTATIC), ask(field, WM_CTLCOLORSTATIC, true));
    // A plain control with identifier 0 and no KX_ID (which reads as 0) passes
    // the window procedure's check for gadget 0; the kind answers only for its own.
    HWND plain = Control(window, 0, L"Static", 0);
    EXPECT_EQ(ask(plain, WM_CTLCOLORSTATIC), ask(plain, WM_CTLCOLORSTATIC, true));
    set(0, 3, red); // no such type: nothing changes
    EXPECT_TRUE(Record(0)->kind->getColor(Record(0), GADGET_COLOR_BACK) == blue &&
                Record(0)->kind->getColor(Record(0), 3) == GADGET_COLOR_DEFAULT);
    set(1, GADGET_COLOR_BACK, GADGET_COLOR_DEFAULT);
    set(2, GADGET_COLOR_BACK, RGB(1, 1, 1)); // another colour lets go too
    GadgetFree(2);                           // and so does destroying the gadget
    EXPECT_TRUE(BrushReferences(shared) == 1 && GetObjectType(shared) == OBJ_BRUSH);
    WindowClose(0); // the window takes its gadgets and the last one with it
    EXPECT_TRUE(BrushReferences(shared) == 0 && GetObjectType(shared) == 0 && !Record(0));
    HBRUSH foreign = CreateSolidBrush(RGB(7, 7, 7)); // not the cache's: left alone
    BrushRelease(foreign);
    EXPECT_TRUE(GetObjectType(foreign) == OBJ_BRUSH && BrushCacheSize() == entries);
    DeleteObject(foreign);
    DeleteDC(dc);
}
