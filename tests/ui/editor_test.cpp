// The editor gadget: the rich-text box, its lines, its whole text, what is
// appended to it (the received box) and how that is drawn.
#include <windows.h>

#include <richedit.h>

#include <functional>
#include <tuple>

#include "tests/support/ui_fixture.h"
#include "ui/gadgets/editor_frame.h"
#include "ui/gadgets/editor_lines.h"
#include "ui/gadgets/editor_repaint.h"

namespace {

// Counts the messages that reach an editor, in front of GadgetProc: how it
// was changed, and whether anything read its text.
struct MessageSpy {
    WNDPROC next;
    int wholeTexts, insertions, reads;
} gSpy;
LRESULT CALLBACK SpyOnMessages(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    gSpy.wholeTexts += message == WM_SETTEXT;
    gSpy.insertions += message == EM_REPLACESEL;
    gSpy.reads += message == WM_GETTEXT || message == WM_GETTEXTLENGTH || message == EM_GETTEXTEX ||
                  message == EM_GETTEXTRANGE;
    return CallWindowProcW(gSpy.next, control, message, wParam, lParam);
}

class EditorTest : public GadgetsTest {
  protected:
    void SetUp() override {
        GadgetsTest::SetUp();
        window_ = OpenWindow();
    }
    // The editor 11; the received box is read-only.
    HWND CreateBox(uint32_t flags = EDITOR_READ_ONLY) {
        HWND box = Handle(GadgetCreateEditor(11, 10, 10, 280, 100, flags));
        record_ = Record(11);
        return box;
    }
    static void Spy(HWND control) {
        gSpy = MessageSpy{};
        gSpy.next = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpyOnMessages)));
    }
    intptr_t Attribute(uint32_t attribute) {
        return record_->kind->getAttribute(record_, static_cast<int32_t>(attribute));
    }
    void SetAttribute(uint32_t attribute, intptr_t value) {
        record_->kind->setAttribute(record_, static_cast<int32_t>(attribute), value);
    }
    static LRESULT Lines(HWND box) { return SendMessageW(box, EM_GETLINECOUNT, 0, 0); }
    // Whether the last character of the text is within the client area.
    static bool EndInView(HWND box) {
        GETTEXTLENGTHEX count{GTL_NUMCHARS | GTL_PRECISE, 1200};
        LRESULT end = SendMessageW(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&count), 0);
        POINTL where{};
        SendMessageW(box, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&where), end - 1);
        RECT client;
        GetClientRect(box, &client);
        return PtInRect(&client, POINT{where.x, where.y});
    }

    HWND window_ = nullptr;
    GadgetRecord* record_ = nullptr;
};

} // namespace

TEST_F(EditorTest, EditorAsksForChangeNoticesAndKnowsItsBorderState) {
    HWND box = CreateBox();
    EXPECT_NE(SendMessageW(box, EM_GETEVENTMASK, 0, 0) & ENM_CHANGE, 0);
    EXPECT_EQ(ThemedBorderState(box), 6); // read-only, else disabled (4) or normal (1)
    GadgetDisable(11, 1);
    EXPECT_EQ(ThemedBorderState(box), 4);
}

// What the program never does, one case each: the attributes and the
// lines, added at a position or after the last, set, removed and cleared.
TEST_F(EditorTest, AttributesAndLines) {
    HWND box = CreateBox(EDITOR_READ_ONLY | EDITOR_WORD_WRAP);
    GadgetSetText(11, Text(40, 'w') + " " + Text(40, 'w') + " " + Text(40, 'w'));
    EXPECT_TRUE(Attribute(EDITOR_WORD_WRAP) == 1 && Lines(box) > 1);
    SetAttribute(EDITOR_WORD_WRAP, 0);
    EXPECT_TRUE(Attribute(EDITOR_WORD_WRAP) == 0 && Lines(box) == 1);
    GadgetSetText(11, "");
    const Text longLine(70000, 'q'); // longer than a line buffer's count can say
    EditorAddItem(record_, -1, "b");
    EditorAddItem(record_, 0, longLine);
    EditorAddItem(record_, 40, "end");
    EditorSetItemText(record_, 1, "a");
    EXPECT_EQ(GadgetGetText(11), longLine + "\r\na\r\nend");
    EXPECT_TRUE(record_->kind->getItemText(record_, 0) == longLine);
    EditorRemoveItem(record_, 1);
    EXPECT_EQ(record_->kind->countItems(record_), 2);
    record_->kind->clearItems(record_);
    EXPECT_EQ(GadgetGetText(11), "");
}

TEST_F(EditorTest, ChangeNotificationsReachTheWaitAsChangeEvents) {
    HWND box = CreateBox();
    Drain();
    for (UINT code : {0x300u, 0x301u}) { // EN_CHANGE as a notification; no other code
        NMHDR header{box, 11, code};
        EXPECT_EQ(SendMessageW(window_, WM_NOTIFY, 11, reinterpret_cast<LPARAM>(&header)), 0);
    }
    std::vector<Delivered> events = GadgetEvents(Drain());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].gadget == 11 && events[0].window == 0);
    EXPECT_EQ(events[0].type, EVENT_TYPE_CHANGE);
}

// What the operator sees is what reading the whole text, joining the payload
// and setting the whole text again would show, whatever line breaks (CR, LF,
// CR LF, none) and bytes the payloads carry; yet each append is one insertion
// that never reads the text, also past the platform's default length limit.
TEST_F(EditorTest, AppendIsOneInsertionShowingWhatReplacingTheJoinedTextShows) {
    HWND box = CreateBox();
    // A rich-text control laid out as the box is, whose text is only ever
    // replaced whole.
    HWND reference =
        CreateWindowExW(0, L"RichEdit20W", L"",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                            ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                        10, 150, 280, 100, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(reference, EM_LIMITTEXT, 0x7FFFFFFF, 0);
    Text high;
    for (int b = 0x80; b < 0x100; ++b)
        high.push_back(static_cast<char>(b));
    const Text payloads[] = {Text(40000, 'x'), "a",  "\n",     "b\r", "\n",       "c\r\n",
                             "d\n\r",          "e",  "\r\r\n", "\r",  "f",        "x\ry\nz",
                             "\n\n",           high, "\t\v\f", "end", "\r\n\r\n", "\xCF\xF0\xE8"};
    Spy(box);
    for (const Text& payload : payloads) {
        SCOPED_TRACE(Cp1251ToUtf8(payload.substr(0, 20)));
        gSpy = MessageSpy{gSpy.next};
        GadgetAppendText(11, payload);
        EXPECT_TRUE(gSpy.insertions == 1 && gSpy.wholeTexts == 0 && gSpy.reads == 0);
        std::u16string joined = Cp1251ToUtf16(Utf16ToCp1251(Native(reference)) + payload);
        SetWindowTextW(reference, reinterpret_cast<const wchar_t*>(joined.c_str()));
        EXPECT_EQ(Native(box), Native(reference));
        EXPECT_EQ(Lines(box), Lines(reference));
    }
    EXPECT_NE(GadgetGetText(11).find(high), Text::npos); // every byte 0x80-0xFF as it came
}

TEST_F(EditorTest, AppendGoesToTheEndAndIntoViewWhereverTheOperatorLooksAndHiddenStaysHidden) {
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
    const Text newest = "newest data, far to the right of the first column of the box";
    GadgetAppendText(11, newest);
    Drain();
    EXPECT_EQ(GadgetGetText(11), lines + newest);
    EXPECT_GT(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 40);
    EXPECT_TRUE(EndInView(box));
    GadgetHide(11, 1);
    GadgetAppendText(11, "b");
    EXPECT_FALSE(IsWindowVisible(box));
    EXPECT_EQ(GadgetGetText(11), lines + newest + "b");
}

TEST_F(EditorTest, AppendsInQuickSuccessionAreDrawnTogetherSoonAfterTheLast) {
    HWND box = CreateBox();
    NoteEditorPaintCost(box, WM_PAINT, 50); // costly drawing: the longest gap
    GadgetAppendText(11, "first");          // after a quiet spell: drawn at once
    EXPECT_FALSE(EditorRepaintDue(box));
    // Right after, in the same tick as often as not: waits for the gap, with
    // what follows.
    GadgetAppendText(11, " second");
    EXPECT_TRUE(EditorRepaintDue(box));
    GadgetAppendText(11, " third");
    EXPECT_EQ(GadgetGetText(11), "first second third"); // the text never waits
    EXPECT_TRUE(WaitUntil([&] {
        Drain();
        return !EditorRepaintDue(box) && !GetUpdateRect(box, nullptr, FALSE);
    })) << "the appends were never drawn";
    // However long drawing has taken, the next change is drawn soon.
    NoteEditorPaintCost(box, WM_PAINT, 5000);
    NoteEditorPaintCost(box, WM_NCPAINT, 5000);
    EXPECT_LE(EditorRepaintGapMs(box), kEditorRepaintLatestMs);
}
