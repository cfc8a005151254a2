#include "ui/gadgets/editor_text.h"

#include "ui/gadgets/editor_repaint.h"

#include <richedit.h>

#include "tests/ui/gadgets_fixture.h"

namespace {

// Counts the messages that reach an editor, in front of GadgetProc: how it
// was changed, and whether anything read its text.
struct MessageSpy {
    WNDPROC next = nullptr;
    int wholeTexts = 0; // WM_SETTEXT
    int insertions = 0; // EM_REPLACESEL
    int reads = 0;      // WM_GETTEXT, WM_GETTEXTLENGTH, EM_GETTEXTEX, EM_GETTEXTRANGE
};
MessageSpy gSpy;

LRESULT CALLBACK SpyOnMessages(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) ++gSpy.wholeTexts;
    if (message == EM_REPLACESEL) ++gSpy.insertions;
    if (message == WM_GETTEXT || message == WM_GETTEXTLENGTH || message == EM_GETTEXTEX ||
        message == EM_GETTEXTRANGE)
        ++gSpy.reads;
    return CallWindowProcW(gSpy.next, control, message, wParam, lParam);
}

class EditorTextTest : public GadgetsTest {
  protected:
    void SetUp() override {
        GadgetsTest::SetUp();
        window_ = OpenWindow();
    }

    HWND CreateBox(uint32_t flags = EDITOR_READ_ONLY) {
        return Handle(GadgetCreateEditor(11, 10, 10, 280, 100, flags));
    }

    static void Spy(HWND control) {
        gSpy = MessageSpy{};
        gSpy.next = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpyOnMessages)));
    }

    // A rich-text control beside the box, laid out as the box is (no
    // wrapping), whose text is only ever replaced whole: read, joined and set
    // again.
    HWND Reference() {
        return CreateWindowExW(0, L"RichEdit20W", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                   ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                               10, 150, 280, 100, window_, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
    }

    // Whether the last character of the text is within the client area.
    static bool EndInView(HWND box) {
        GETTEXTLENGTHEX count{GTL_NUMCHARS | GTL_PRECISE, 1200};
        LRESULT end = SendMessageW(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&count), 0);
        POINTL where{};
        SendMessageW(box, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&where), end - 1);
        RECT client;
        GetClientRect(box, &client);
        return where.y >= client.top && where.y < client.bottom && where.x >= client.left &&
               where.x < client.right;
    }

    HWND window_ = nullptr;
};

} // namespace

TEST_F(EditorTextTest, AppendIsOneInsertionThatNeverReadsTheText) {
    HWND box = CreateBox();
    GadgetSetText(11, Text(100000, 'x'));
    Spy(box);
    GadgetAppendText(11, "tail");
    EXPECT_EQ(gSpy.insertions, 1);
    EXPECT_EQ(gSpy.wholeTexts, 0);
    EXPECT_EQ(gSpy.reads, 0);
    GadgetAppendText(11, ""); // nothing to add: the box is not touched at all
    EXPECT_EQ(gSpy.insertions, 1);
    EXPECT_EQ(GadgetGetText(11), Text(100000, 'x') + "tail");
}

// What the operator sees is what reading the whole text, joining the payload
// and setting the whole text again would show, whatever line breaks and
// bytes the payloads carry.
TEST_F(EditorTextTest, AppendShowsWhatReplacingTheJoinedTextShowsForEveryBreakAndByte) {
    HWND box = CreateBox();
    HWND reference = Reference();
    Text high;
    for (int b = 0x80; b < 0x100; ++b)
        high.push_back(static_cast<char>(b));
    const Text payloads[] = {"a",  "\n",     "b\r", "\n",       "c\r\n",       "d\n\r",
                             "e",  "\r\r\n", "\r",  "f",        "x\ry\nz",     "\n\n",
                             high, "\t\v\f", "end", "\r\n\r\n", "\xCF\xF0\xE8"};
    for (const Text& payload : payloads) {
        SCOPED_TRACE(Cp1251ToUtf8(payload));
        GadgetAppendText(11, payload);
        SetNative(reference, Cp1251ToUtf16(Utf16ToCp1251(Native(reference)) + payload));
        EXPECT_EQ(Native(box), Native(reference));
        EXPECT_EQ(SendMessageW(box, EM_GETLINECOUNT, 0, 0),
                  SendMessageW(reference, EM_GETLINECOUNT, 0, 0));
    }
    EXPECT_NE(GadgetGetText(11).find(high), Text::npos); // every byte 0x80-0xFF as it came
}

TEST_F(EditorTextTest, AppendGoesToTheEndAndBringsItIntoViewWhereverTheOperatorLooks) {
    HWND box = CreateBox();
    Text lines;
    for (int i = 0; i < 60; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    GadgetSetText(11, lines);
    // The operator scrolled to the top and clicked into the first line.
    SendMessageW(box, WM_VSCROLL, SB_TOP, 0);
    SendMessageW(box, EM_SETSEL, 2, 4);
    Drain();
    ASSERT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    GadgetAppendText(11, "newest data, far to the right of the first column of the box");
    Drain();
    EXPECT_EQ(GadgetGetText(11),
              lines + "newest data, far to the right of the first column of the box");
    EXPECT_GT(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 40);
    EXPECT_TRUE(EndInView(box));
}

TEST_F(EditorTextTest, AppendBeyondTheDefaultLimitOfTheTextIsKept) {
    CreateBox();
    GadgetSetText(11, Text(70000, 'y'));
    GadgetAppendText(11, "past 64 KB");
    const Text text = GadgetGetText(11);
    EXPECT_EQ(text.size(), 70010u);
    EXPECT_EQ(text.substr(70000), "past 64 KB");
}

TEST_F(EditorTextTest, HiddenBoxStaysHiddenWhenAppendedTo) {
    HWND box = CreateBox();
    GadgetSetText(11, "a");
    GadgetHide(11, 1);
    GadgetAppendText(11, "b");
    EXPECT_FALSE(IsWindowVisible(box));
    EXPECT_EQ(GadgetGetText(11), "ab");
}

TEST_F(EditorTextTest, AppendsInQuickSuccessionAreDrawnOnceTheGapHasPassed) {
    HWND box = CreateBox();
    GadgetAppendText(11, "first"); // after a quiet spell: drawn at once
    EXPECT_FALSE(EditorRepaintDue(box));
    GadgetAppendText(11, " second"); // right after: waits for the gap, with what follows
    GadgetAppendText(11, " third");
    EXPECT_TRUE(EditorRepaintDue(box));
    EXPECT_EQ(GadgetGetText(11), "first second third"); // the text never waits
    EXPECT_TRUE(WaitWhileDispatching(
        [&] { return !EditorRepaintDue(box) && !GetUpdateRect(box, nullptr, FALSE); }));
}

TEST_F(EditorTextTest, RepaintGapGrowsToFourTimesWhatTheLastRepaintTook) {
    HWND box = CreateBox();
    NoteEditorPaintCost(box, WM_PAINT, 5); // cheap drawing keeps the shortest gap
    NoteEditorPaintCost(box, WM_NCPAINT, 4);
    EXPECT_EQ(EditorRepaintGapMs(box), kEditorRepaintGapMs);
    NoteEditorPaintCost(box, WM_PAINT, 20); // a long text above the view
    EXPECT_EQ(EditorRepaintGapMs(box), 4u * (20 + 4));
    NoteEditorPaintCost(box, WM_PAINT, 5000); // one stall counts as a quarter of a second
    NoteEditorPaintCost(box, WM_NCPAINT, 0);
    EXPECT_EQ(EditorRepaintGapMs(box), 4u * 250);
}

TEST_F(EditorTextTest, EmptyTextClearsAndAnyOtherReplacesTheWholeText) {
    HWND box = CreateBox();
    GadgetSetText(11, "first line");
    Spy(box);
    GadgetSetText(11, "other");
    EXPECT_EQ(gSpy.wholeTexts, 1);
    EXPECT_EQ(GadgetGetText(11), "other");
    GadgetSetText(11, "");
    EXPECT_EQ(GadgetGetText(11), "");
}
