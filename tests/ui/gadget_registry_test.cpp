#include "ui/gadgets/gadget_registry.h"

#include <richedit.h>

#include <thread>

#include "tests/ui/gadgets_fixture.h"
#include "ui/gadgets/brush_cache.h"

namespace {

class GadgetRegistryTest : public GadgetsTest {};

std::wstring ClassOf(HWND control) {
    wchar_t name[64] = {};
    GetClassNameW(control, name, 64);
    return name;
}

// The control was given the default GUI font: the rich-text control answers
// no WM_GETFONT, but its default character format shows the font's face.
bool HasGuiFont(HWND control) {
    auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (ClassOf(control) != L"RichEdit20W")
        return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)) == font;
    LOGFONTW logical{};
    GetObjectW(font, sizeof(logical), &logical);
    CHARFORMATW format{};
    format.cbSize = sizeof(format);
    SendMessageW(control, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    return std::wstring(format.szFaceName) == logical.lfFaceName;
}

ObjectNumber IdentifierOf(HWND control) {
    return static_cast<ObjectNumber>(GetWindowLongPtrW(control, GWLP_ID));
}

ObjectNumber MarkOf(HWND control) {
    return reinterpret_cast<ObjectNumber>(GetPropW(control, L"KX_ID"));
}

// Makes every window creation of the calling thread fail while it lives.
class CreationVeto {
  public:
    CreationVeto() { hook_ = SetWindowsHookExW(WH_CBT, Veto, nullptr, GetCurrentThreadId()); }
    ~CreationVeto() { UnhookWindowsHookEx(hook_); }
    bool active() const { return hook_ != nullptr; }

  private:
    static LRESULT CALLBACK Veto(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) return 1;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_;
};

} // namespace

// --- Creation --------------------------------------------------------------

TEST_F(GadgetRegistryTest, FixedNumberGivesTheControlWhichCarriesTheNumberTwice) {
    HWND window = OpenWindow();
    struct Case {
        intptr_t created;
        const wchar_t* className;
        int32_t kind;
    };
    const Case cases[] = {
        {GadgetCreateText(1, 10, 10, 80, 20, "label"), L"Static", KIND_TEXT},
        {GadgetCreateString(2, 10, 40, 80, 20, "field"), L"Edit", KIND_STRING},
        {GadgetCreateButton(3, 10, 70, 80, 20, "button"), L"Button", KIND_BUTTON},
        {GadgetCreateEditor(4, 10, 100, 200, 80), L"RichEdit20W", KIND_EDITOR},
    };
    ObjectNumber number = 1;
    for (const Case& c : cases) {
        HWND control = Handle(c.created);
        ASSERT_TRUE(IsWindow(control)) << number;
        EXPECT_EQ(GetParent(control), window);
        EXPECT_EQ(ClassOf(control), c.className);
        EXPECT_EQ(IdentifierOf(control), number);
        EXPECT_EQ(MarkOf(control), number);
        GadgetRecord* record = FindGadget(number);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->handle, control);
        EXPECT_EQ(record->kind->number, c.kind);
        EXPECT_EQ(GetWindowLongPtrW(control, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(GadgetProc));
        EXPECT_TRUE(HasGuiFont(control)) << number;
        ++number;
    }
}

TEST_F(GadgetRegistryTest, DynamicNumberIsTheRecordAddressAndServesEveryCommand) {
    OpenWindow();
    intptr_t number = GadgetCreateString(-1, 10, 10, 100, 20, "dynamic");
    ASSERT_NE(number, 0);
    GadgetRecord* record = FindGadget(number);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(record), number);
    HWND control = record->handle;
    EXPECT_EQ(IdentifierOf(control), number);
    EXPECT_EQ(MarkOf(control), number);

    EXPECT_EQ(GadgetGetText(number), "dynamic");
    GadgetSetText(number, "changed");
    EXPECT_EQ(GadgetGetText(number), "changed");
    GadgetHide(number, 1);
    EXPECT_FALSE(IsWindowVisible(control));
    GadgetDisable(number, 1);
    EXPECT_FALSE(IsWindowEnabled(control));
    EXPECT_NE(GadgetFree(number), 0);
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(FindGadget(number), nullptr);
    EXPECT_EQ(GadgetGetText(number), "");
}

TEST_F(GadgetRegistryTest, ReusingANumberDestroysTheOldGadgetFirstWithItsQueuedEvents) {
    OpenWindow();
    HWND old = Handle(GadgetCreateText(4, 10, 10, 80, 20, "old"));
    GadgetRecord* record = FindGadget(4);
    record->kind->setColor(record, GADGET_COLOR_BACK, RGB(1, 2, 3));
    HBRUSH brush = record->colors.brush;
    ASSERT_EQ(BrushReferences(brush), 1);
    GadgetCreateButton(5, 10, 40, 80, 20, "other");
    Drain();
    EventPost(EVENT_GADGET, 4, 0, 1);
    EventPost(EVENT_GADGET, 5, 0, 1);
    EventPost(EVENT_GADGET, 4, 0, 2);

    HWND replacement = Handle(GadgetCreateButton(4, 10, 70, 80, 20, "new"));
    EXPECT_FALSE(IsWindow(old));
    ASSERT_TRUE(IsWindow(replacement));
    EXPECT_EQ(FindGadget(4), record); // the same record, handed back emptied
    EXPECT_EQ(record->handle, replacement);
    EXPECT_EQ(record->kind->number, KIND_BUTTON);
    EXPECT_EQ(BrushReferences(brush), 0); // the old kind's clean-up ran
    EXPECT_EQ(GadgetGetText(4), "new");
    std::vector<DeliveredEvent> events = GadgetEvents(Drain());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, 5);
}

TEST_F(GadgetRegistryTest, FailedNativeCreationLeavesTheGadgetOfTheNumberAlone) {
    OpenWindow();
    HWND old = Handle(GadgetCreateText(4, 10, 10, 80, 20, "old"));
    {
        CreationVeto veto;
        ASSERT_TRUE(veto.active());
        EXPECT_EQ(GadgetCreateButton(4, 10, 40, 80, 20, "new"), 0);
        EXPECT_EQ(GadgetCreateEditor(4, 10, 40, 80, 20), 0);
    }
    EXPECT_TRUE(IsWindow(old));
    ASSERT_NE(FindGadget(4), nullptr);
    EXPECT_EQ(FindGadget(4)->handle, old);
    EXPECT_EQ(GadgetGetText(4), "old");
}

TEST_F(GadgetRegistryTest, ThreadWithoutACurrentGadgetListCreatesNothing) {
    OpenWindow();
    intptr_t created[4] = {1, 1, 1, 1};
    std::thread other([&] {
        created[0] = GadgetCreateText(7, 0, 0, 10, 10, "x");
        created[1] = GadgetCreateString(7, 0, 0, 10, 10, "x");
        created[2] = GadgetCreateButton(7, 0, 0, 10, 10, "x");
        created[3] = GadgetCreateEditor(7, 0, 0, 10, 10);
    });
    other.join();
    for (intptr_t result : created)
        EXPECT_EQ(result, 0);
    EXPECT_EQ(FindGadget(7), nullptr);
}

TEST_F(GadgetRegistryTest, NumbersBelowMinusOneCreateNothing) {
    HWND window = OpenWindow();
    EXPECT_EQ(GadgetCreateText(-2, 0, 0, 10, 10, "x"), 0);
    EXPECT_EQ(GadgetCreateEditor(-7, 0, 0, 10, 10), 0);
    EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
}

// --- Common commands ---------------------------------------------------------

TEST_F(GadgetRegistryTest, HideAndDisableWithZeroShowAndEnableAgain) {
    OpenWindow();
    HWND control = Handle(GadgetCreateButton(1, 10, 10, 80, 20, "b"));
    ASSERT_TRUE(IsWindowVisible(control));
    GadgetHide(1, 1);
    EXPECT_FALSE(IsWindowVisible(control));
    GadgetHide(1, 0);
    EXPECT_TRUE(IsWindowVisible(control));
    GadgetDisable(1, 5);
    EXPECT_FALSE(IsWindowEnabled(control));
    GadgetDisable(1, 0);
    EXPECT_TRUE(IsWindowEnabled(control));
}

TEST_F(GadgetRegistryTest, NumbersThatNameNoGadgetAreIgnored) {
    OpenWindow();
    GadgetCreateText(1, 10, 10, 80, 20, "one");
    GadgetHide(77, 1);
    GadgetDisable(77, 1);
    GadgetSetText(77, "x");
    EXPECT_EQ(GadgetGetText(77), "");
    EXPECT_EQ(GadgetFree(77), 0);
    EXPECT_EQ(GadgetFree(2), 0); // a slot that was never used
    EXPECT_EQ(GadgetGetText(1), "one");
}

TEST_F(GadgetRegistryTest, SetTextWithoutTextSetsTheEmptyText) {
    OpenWindow();
    GadgetCreateString(1, 10, 10, 80, 20, "full");
    GadgetCreateEditor(2, 10, 40, 80, 60);
    GadgetSetText(2, "full");
    GadgetSetText(1);
    GadgetSetText(2);
    EXPECT_EQ(GadgetGetText(1), "");
    EXPECT_EQ(GadgetGetText(2), "");
}

TEST_F(GadgetRegistryTest, FreeDestroysTheControlAndTheNumberCanBeUsedAgain) {
    OpenWindow();
    HWND control = Handle(GadgetCreateText(3, 10, 10, 80, 20, "x"));
    EXPECT_EQ(GadgetFree(3), 1);
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(FindGadget(3), nullptr);
    EXPECT_EQ(GadgetFree(3), 0);
    EXPECT_NE(GadgetCreateText(3, 10, 10, 80, 20, "again"), 0);
    EXPECT_EQ(GadgetGetText(3), "again");
}

TEST_F(GadgetRegistryTest, FreeWithMinusOneDestroysEveryGadgetButNotTheWindow) {
    HWND window = OpenWindow();
    HWND fixed = Handle(GadgetCreateText(3, 10, 10, 80, 20, "x"));
    HWND editor = Handle(GadgetCreateEditor(60, 10, 40, 80, 60));
    intptr_t dynamic = GadgetCreateButton(-1, 10, 110, 80, 20, "d");
    HWND dynamicControl = FindGadget(dynamic)->handle;
    EXPECT_EQ(GadgetFree(-1), 0);
    EXPECT_FALSE(IsWindow(fixed));
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_FALSE(IsWindow(dynamicControl));
    EXPECT_EQ(FindGadget(3), nullptr);
    EXPECT_EQ(FindGadget(60), nullptr);
    EXPECT_EQ(FindGadget(dynamic), nullptr);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(GadgetRegistryTest, ClosingTheWindowFreesItsGadgets) {
    OpenWindow();
    GadgetCreateText(1, 10, 10, 80, 20, "x");
    intptr_t dynamic = GadgetCreateEditor(-1, 10, 40, 80, 60);
    EventPost(EVENT_GADGET, 1, 0, 0);
    WindowClose(0);
    EXPECT_EQ(FindGadget(1), nullptr);
    EXPECT_EQ(FindGadget(dynamic), nullptr);
    EXPECT_EQ(GadgetEvents(Drain()).size(), 0u);
}

// --- The gadget procedure ----------------------------------------------------

namespace {
// A procedure in front of GadgetProc, and one behind it in place of the
// control's own, so that the order of the final message's handling shows.
struct DestroyWatch {
    ObjectNumber number = 0;
    WNDPROC gadgetProcedure = nullptr;
    WNDPROC nativeProcedure = nullptr;
    bool nativeSawItRegistered = false;
    ObjectNumber identifierAfter = 0;
    ObjectNumber markAfter = 0;
    bool recordAfter = true;
};
DestroyWatch gWatch;

LRESULT CALLBACK BehindGadgetProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY)
        gWatch.nativeSawItRegistered = FindGadget(gWatch.number) != nullptr &&
                                       IdentifierOf(control) == gWatch.number &&
                                       MarkOf(control) == gWatch.number;
    return CallWindowProcW(gWatch.nativeProcedure, control, message, wParam, lParam);
}

LRESULT CALLBACK InFrontOfGadgetProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcW(gWatch.gadgetProcedure, control, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        gWatch.identifierAfter = IdentifierOf(control);
        gWatch.markAfter = MarkOf(control);
        gWatch.recordAfter = FindGadget(gWatch.number) != nullptr;
    }
    return result;
}
} // namespace

TEST_F(GadgetRegistryTest, FinalMessageReachesTheControlFirstThenTheGadgetIsCleanedUp) {
    OpenWindow();
    HWND control = Handle(GadgetCreateString(9, 10, 10, 80, 20, "x"));
    gWatch = DestroyWatch{};
    gWatch.number = 9;
    GadgetRecord* record = FindGadget(9);
    gWatch.nativeProcedure = record->previousProcedure;
    record->previousProcedure = BehindGadgetProc;
    gWatch.gadgetProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InFrontOfGadgetProc)));
    EventPost(EVENT_GADGET, 9, 0, 0);

    EXPECT_EQ(GadgetFree(9), 1);
    EXPECT_TRUE(gWatch.nativeSawItRegistered);
    EXPECT_EQ(gWatch.identifierAfter, -1);
    EXPECT_EQ(gWatch.markAfter, 0);
    EXPECT_FALSE(gWatch.recordAfter);
    EXPECT_EQ(GadgetEvents(Drain()).size(), 0u);
}

TEST_F(GadgetRegistryTest, MessagesOfAControlWithIdentifierMinusOneGoToTheDefaultProcedure) {
    OpenWindow();
    HWND box = Handle(GadgetCreateButton(2, 10, 10, 80, 20, "box", BS_AUTOCHECKBOX));
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    ASSERT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    SetWindowLongPtrW(box, GWLP_ID, -1);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), 0); // the default procedure knows no check
    SetWindowLongPtrW(box, GWLP_ID, 2);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(GadgetRegistryTest, ParentMessagesReachTheKindOfAGadgetButNotOfAPlainControlWithItsNumber) {
    HWND window = OpenWindow();
    HWND label = Handle(GadgetCreateText(0, 10, 10, 80, 20, "gadget zero"));
    GadgetRecord* record = FindGadget(0);
    record->kind->setColor(record, GADGET_COLOR_FRONT, RGB(200, 0, 0));
    // A plain control with identifier 0 and no KX_ID, which reads as 0 too.
    HWND plain = CreateWindowExW(0, L"Static", L"plain", WS_CHILD | WS_VISIBLE, 10, 40, 80, 20,
                                 window, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_EQ(IdentifierOf(plain), 0);

    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 1, 1));
    LRESULT forGadget = SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(label));
    EXPECT_EQ(forGadget, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)));
    EXPECT_EQ(GetTextColor(dc), RGB(200, 0, 0));

    SetTextColor(dc, RGB(1, 1, 1));
    LRESULT forPlain = SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                    reinterpret_cast<LPARAM>(plain));
    EXPECT_EQ(forPlain, DefWindowProcW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(plain)));
    EXPECT_NE(GetTextColor(dc), RGB(200, 0, 0));
    DeleteDC(dc);
}

TEST_F(GadgetRegistryTest, KindTablesAreSharedAndHoldTheirOperations) {
    OpenWindow();
    GadgetCreateText(1, 0, 0, 10, 10, "a");
    GadgetCreateText(2, 0, 20, 10, 10, "b");
    GadgetCreateString(3, 0, 40, 10, 10, "c");
    GadgetCreateButton(4, 0, 60, 10, 10, "d");
    GadgetCreateEditor(5, 0, 80, 10, 10);
    EXPECT_EQ(FindGadget(1)->kind, FindGadget(2)->kind);
    const GadgetKind* text = FindGadget(1)->kind;
    EXPECT_TRUE(text->onParentMessage && text->onDestroy && text->setColor && text->getColor);
    EXPECT_FALSE(text->getText || text->setText || text->hide || text->getState);
    const GadgetKind* field = FindGadget(3)->kind;
    EXPECT_TRUE(field->getAttribute && field->setAttribute && field->onDestroy);
    EXPECT_FALSE(field->getText || field->setText || field->hide);
    const GadgetKind* button = FindGadget(4)->kind;
    EXPECT_TRUE(button->getState && button->setState);
    EXPECT_FALSE(button->onParentMessage || button->onDestroy || button->getText || button->hide);
    const GadgetKind* editor = FindGadget(5)->kind;
    EXPECT_TRUE(editor->getText && editor->setText && editor->addItem && editor->removeItem &&
                editor->clearItems && editor->countItems && editor->getItemText &&
                editor->setItemText && editor->getFont && editor->setFont &&
                editor->onParentMessage);
    EXPECT_FALSE(editor->onDestroy || editor->getState || editor->setState || editor->hide);
}
