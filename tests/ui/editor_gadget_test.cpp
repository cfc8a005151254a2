#include "ui/gadgets/editor_gadget.h"

#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "tests/ui/gadgets_fixture.h"
#include "ui/gadgets/editor_frame.h"

namespace {

class EditorGadgetTest : public GadgetsTest {
  protected:
    static GadgetRecord* Editor(ObjectNumber number) { return FindGadget(number); }

    static COLORREF DefaultTextColor(HWND editor, DWORD* effects) {
        CHARFORMATW format{};
        format.cbSize = sizeof(format);
        SendMessageW(editor, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
        *effects = format.dwEffects;
        return format.crTextColor;
    }

    static bool KeysHandled() { return GetQueueStatus(QS_KEY) == 0; }
};

} // namespace

namespace {
// The styles a window of the calling thread is created with.
DWORD gCreatedStyle;
DWORD gCreatedExStyle;
bool gCreationNoted;
// The first window made is the control; the rich-text control makes windows
// of its own after it.
LRESULT CALLBACK NoteCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !gCreationNoted) {
        gCreationNoted = true;
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        gCreatedStyle = static_cast<DWORD>(create->style);
        gCreatedExStyle = create->dwExStyle;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

TEST_F(EditorGadgetTest, EditorIsAUnicodeRichTextBoxWithoutLengthLimit) {
    HWND window = OpenWindow();
    gCreationNoted = false;
    HHOOK hook = SetWindowsHookExW(WH_CBT, NoteCreation, nullptr, GetCurrentThreadId());
    HWND editor = Handle(GadgetCreateEditor(11, 10, 135, 280, 100, EDITOR_READ_ONLY));
    UnhookWindowsHookEx(hook);
    ASSERT_NE(editor, nullptr);
    EXPECT_STREQ(EditorClassName(), L"RichEdit20W");
    wchar_t className[32] = {};
    GetClassNameW(editor, className, 32);
    EXPECT_STREQ(className, L"RichEdit20W");
    EXPECT_EQ(GetParent(editor), window);
    EXPECT_EQ(gCreatedStyle, 0x503111C4u | EDITOR_READ_ONLY);
    EXPECT_EQ(gCreatedExStyle, static_cast<DWORD>(WS_EX_CLIENTEDGE));
    EXPECT_NE(GetWindowLongPtrW(editor, GWL_STYLE) & ES_READONLY, 0);
    EXPECT_NE(SendMessageW(editor, EM_GETEVENTMASK, 0, 0) & ENM_CHANGE, 0);
    // GadgetProc, then EditorProc, then the rich-text procedure.
    EXPECT_EQ(Editor(11)->previousProcedure, EditorProc);
    GadgetRecord* record = Editor(11);
    EXPECT_EQ(record->editor.pendingEmptyLine, 0);
    EXPECT_EQ(record->editor.frontColor, GADGET_COLOR_DEFAULT);
    EXPECT_EQ(record->editor.backColor, GADGET_COLOR_DEFAULT);
    EXPECT_EQ(record->editor.font, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
}

TEST_F(EditorGadgetTest, WithoutVisualStylesTheFrameIsThePlainClientEdge) {
    OpenWindow();
    HWND editor = Handle(GadgetCreateEditor(1, 10, 10, 200, 100));
    ASSERT_EQ(ThemedControls(), 0) << "the test bed runs without visual styles";
    EXPECT_NE(GetWindowLongPtrW(editor, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    auto* insets = static_cast<FrameInsets*>(GetPropW(editor, kClientRectProperty));
    ASSERT_NE(insets, nullptr);
    SetWindowPos(editor, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    EXPECT_EQ(insets->left, 0);
    EXPECT_EQ(insets->top, 0);
    EXPECT_EQ(insets->right, 0);
    EXPECT_EQ(insets->bottom, 0);
}

TEST_F(EditorGadgetTest, ThemedFrameArithmeticAndBorderState) {
    RECT proposed{10, 20, 110, 70};
    RECT content{13, 22, 106, 67};
    FrameInsets insets = InsetsBetween(proposed, content);
    EXPECT_EQ(insets.left, 3);
    EXPECT_EQ(insets.top, 2);
    EXPECT_EQ(insets.right, 4);
    EXPECT_EQ(insets.bottom, 3);
    RECT inner = InsideInsets(RECT{0, 0, 120, 60}, insets);
    EXPECT_EQ(inner.left, 3);
    EXPECT_EQ(inner.top, 2);
    EXPECT_EQ(inner.right, 116);
    EXPECT_EQ(inner.bottom, 57);

    OpenWindow();
    HWND plain = Handle(GadgetCreateEditor(1, 10, 10, 100, 50));
    HWND readOnly = Handle(GadgetCreateEditor(2, 10, 70, 100, 50, EDITOR_READ_ONLY));
    EXPECT_EQ(ThemedBorderState(plain), 1);
    EXPECT_EQ(ThemedBorderState(readOnly), 6);
    GadgetDisable(2, 1);
    EXPECT_EQ(ThemedBorderState(readOnly), 4);
}

TEST_F(EditorGadgetTest, ReadOnlyEditorRefusesTheUserButTakesTextsFromTheProgram) {
    OpenWindow();
    HWND editor = Handle(GadgetCreateEditor(11, 10, 10, 280, 100, EDITOR_READ_ONLY));
    GadgetSetText(11, "received");
    ASSERT_TRUE(Focus(editor));
    SendMessageW(editor, EM_SETSEL, 8, 8);
    PressKeys({'A', 'B', VK_BACK, VK_DELETE});
    EXPECT_TRUE(WaitWhileDispatching(KeysHandled));
    SendMessageW(editor, WM_CHAR, 'z', 1);
    EXPECT_EQ(GadgetGetText(11), "received");
    GadgetSetText(11, "set by the program");
    EXPECT_EQ(GadgetGetText(11), "set by the program");

    GadgetRecord* record = Editor(11);
    EXPECT_EQ(record->kind->getAttribute(record, static_cast<int32_t>(EDITOR_READ_ONLY)), 1);
    record->kind->setAttribute(record, static_cast<int32_t>(EDITOR_READ_ONLY), 0);
    EXPECT_EQ(record->kind->getAttribute(record, static_cast<int32_t>(EDITOR_READ_ONLY)), 0);
    SendMessageW(editor, EM_SETSEL, 0, 0);
    PressKeys({'A'});
    EXPECT_TRUE(WaitWhileDispatching([&] { return GadgetGetText(11) == "aset by the program"; }));
}

TEST_F(EditorGadgetTest, TypingGoesOnPastThePlatformsDefaultLimit) {
    OpenWindow();
    HWND editor = Handle(GadgetCreateEditor(1, 10, 70, 200, 50));
    // The largest limit the control takes (the platform's default is 32767).
    EXPECT_EQ(SendMessageW(editor, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFF);
    Text lines;
    while (lines.size() < 40000)
        lines += Text(78, 'x') + "\r\n";
    GadgetSetText(1, lines);
    SendMessageW(editor, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
    SendMessageW(editor, WM_CHAR, 'y', 1);
    EXPECT_EQ(GetWindowTextLengthW(editor), static_cast<int>(lines.size()) + 1);
    EXPECT_TRUE(GadgetGetText(1) == lines + "y");
}

TEST_F(EditorGadgetTest, TextsFarLongerThanTheDefaultLimitAreKeptWhole) {
    OpenWindow();
    GadgetCreateEditor(1, 10, 10, 200, 100, EDITOR_READ_ONLY);
    Text text;
    for (int i = 0; text.size() < 200000; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    GadgetSetText(1, text);
    EXPECT_TRUE(GadgetGetText(1) == text);
    GadgetSetText(1, text + "tail");
    EXPECT_TRUE(GadgetGetText(1) == text + "tail");
}

TEST_F(EditorGadgetTest, WordWrapAttributeWrapsAtTheEditorsWidth) {
    OpenWindow();
    HWND wrapping = Handle(GadgetCreateEditor(1, 10, 10, 150, 100, EDITOR_WORD_WRAP));
    HWND straight = Handle(GadgetCreateEditor(2, 10, 120, 150, 100));
    Text words;
    for (int i = 0; i < 40; ++i)
        words += "word ";
    GadgetSetText(1, words);
    GadgetSetText(2, words);
    GadgetRecord* record = Editor(1);
    const auto wrap = static_cast<int32_t>(EDITOR_WORD_WRAP);
    EXPECT_EQ(record->kind->getAttribute(record, wrap), 1);
    EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(wrapping, kWordWrapProperty)), 1);
    EXPECT_GT(SendMessageW(wrapping, EM_GETLINECOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(straight, EM_GETLINECOUNT, 0, 0), 1);
    EXPECT_EQ(Editor(2)->kind->getAttribute(Editor(2), wrap), 0);

    record->kind->setAttribute(record, wrap, 0);
    EXPECT_EQ(record->kind->getAttribute(record, wrap), 0);
    EXPECT_EQ(SendMessageW(wrapping, EM_GETLINECOUNT, 0, 0), 1);
    // Attributes the editor does not know.
    record->kind->setAttribute(record, 5, 1);
    EXPECT_EQ(record->kind->getAttribute(record, 5), 0);
}

TEST_F(EditorGadgetTest, ChangeNotificationFromTheParentPostsAChangeEvent) {
    HWND window = OpenWindow(4);
    HWND editor = Handle(GadgetCreateEditor(11, 10, 10, 200, 100));
    Drain();
    NMHDR change{editor, 11, 0x300};
    EXPECT_EQ(SendMessageW(window, WM_NOTIFY, 11, reinterpret_cast<LPARAM>(&change)), 0);
    NMHDR other{editor, 11, 0x301};
    SendMessageW(window, WM_NOTIFY, 11, reinterpret_cast<LPARAM>(&other));
    std::vector<DeliveredEvent> events = GadgetEvents(Drain());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, 11);
    EXPECT_EQ(events[0].window, 4);
    EXPECT_EQ(events[0].type, EVENT_TYPE_CHANGE);
}

namespace {
// The notifications the parent window receives from the editor.
WNDPROC gParentProcedure;
std::vector<WORD> gNotifications;
LRESULT CALLBACK RecordNotifications(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && lParam) gNotifications.push_back(HIWORD(wParam));
    return CallWindowProcW(gParentProcedure, window, message, wParam, lParam);
}
} // namespace

// As in the program: the main thread waits without a time limit, the worker
// sets the text. The notifications that the change brings reach the window
// procedure inside the wait, which delivers the gadget event once the next
// posted message has been dispatched. (A wait with a time limit may give up
// between the two; the program's does not.)
TEST_F(EditorGadgetTest, TextChangedFromAnotherThreadNotifiesAndTheWaitDeliversAGadgetEvent) {
    HWND window = OpenWindow();
    GadgetCreateEditor(11, 10, 10, 200, 100, EDITOR_READ_ONLY);
    Drain();
    gParentProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordNotifications)));
    for (const char* next : {"first", "first and more", "other"}) { // append, then replace
        gNotifications.clear();
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            GadgetSetText(11, next);
            // Keeps posting, so that no wait below blocks for good.
            while (!finished) {
                PostMessageW(window, WM_NULL, 0, 0);
                Sleep(20);
            }
        });
        DeliveredEvent event{};
        DWORD start = GetTickCount();
        while (event.code != EVENT_GADGET && GetTickCount() - start < 5000) {
            DeliveredEvent delivered{EventWaitForever(), EventGadgetNumber(), EventWindowNumber(),
                                     EventType()};
            if (delivered.code == EVENT_GADGET && delivered.gadget == 11) event = delivered;
        }
        finished = true;
        worker.join();
        Drain();
        EXPECT_EQ(event.code, EVENT_GADGET) << next;
        EXPECT_EQ(GadgetGetText(11), next);
        // The change notification came, and the event carries the code of one
        // of the control's notifications (Wine sends EN_UPDATE too, after
        // EN_CHANGE and again when it paints).
        auto sent = [&](WORD code) {
            return std::find(gNotifications.begin(), gNotifications.end(), code) !=
                   gNotifications.end();
        };
        EXPECT_TRUE(sent(EN_CHANGE)) << next;
        EXPECT_TRUE(sent(static_cast<WORD>(event.type))) << next << " " << event.type;
    }
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gParentProcedure));
}

TEST_F(EditorGadgetTest, FrontColorOutlivesAFontChangeAndBackColorIsTheBackground) {
    OpenWindow();
    HWND editor = Handle(GadgetCreateEditor(1, 10, 10, 200, 100));
    GadgetRecord* record = Editor(1);
    const int32_t red = RGB(200, 0, 0), blue = RGB(0, 0, 190);
    record->kind->setColor(record, GADGET_COLOR_FRONT, red);
    DWORD effects = 0;
    EXPECT_EQ(DefaultTextColor(editor, &effects), static_cast<COLORREF>(red));
    EXPECT_EQ(effects & CFE_AUTOCOLOR, 0u);

    HFONT font = CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    record->kind->setFont(record, font);
    EXPECT_EQ(record->kind->getFont(record), font);
    EXPECT_EQ(DefaultTextColor(editor, &effects), static_cast<COLORREF>(red));
    record->kind->setFont(record, reinterpret_cast<HFONT>(static_cast<intptr_t>(-1)));
    EXPECT_EQ(record->kind->getFont(record), static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    DeleteObject(font);

    record->kind->setColor(record, GADGET_COLOR_FRONT, GADGET_COLOR_DEFAULT);
    DefaultTextColor(editor, &effects);
    EXPECT_NE(effects & CFE_AUTOCOLOR, 0u);

    record->kind->setColor(record, GADGET_COLOR_BACK, blue);
    // EM_SETBKGNDCOLOR answers with the colour it replaces.
    EXPECT_EQ(SendMessageW(editor, EM_SETBKGNDCOLOR, 0, blue), blue);
    EXPECT_EQ(record->kind->getColor(record, GADGET_COLOR_BACK), blue);
    EXPECT_EQ(record->kind->getColor(record, GADGET_COLOR_FRONT), GADGET_COLOR_DEFAULT);
    EXPECT_EQ(record->kind->getColor(record, 9), GADGET_COLOR_DEFAULT);
}

TEST_F(EditorGadgetTest, DestroyedEditorGivesBackItsPropertiesAndMemory) {
    OpenWindow();
    GadgetCreateEditor(1, 10, 10, 200, 100, EDITOR_READ_ONLY);
    GadgetFree(1);
    const size_t before = PlatformHeapLiveBytes(ProgramHeap());
    for (int round = 0; round < 3; ++round) {
        HWND editor =
            Handle(GadgetCreateEditor(1, 10, 10, 200, 100, EDITOR_READ_ONLY | EDITOR_WORD_WRAP));
        GadgetSetText(1, "some text to mirror");
        EXPECT_EQ(GadgetGetText(1), "some text to mirror");
        EXPECT_NE(GetPropW(editor, kClientRectProperty), nullptr);
        GadgetFree(1);
    }
    EXPECT_EQ(PlatformHeapLiveBytes(ProgramHeap()), before);
}
