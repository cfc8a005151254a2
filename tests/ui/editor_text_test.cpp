#include "ui/gadgets/editor_text.h"

#include "ui/gadgets/editor_repaint.h"

#include <richedit.h>

#include "tests/ui/gadgets_fixture.h"

namespace {

// Counts the text-changing messages that reach an editor, in front of
// GadgetProc.
struct ChangeSpy {
    WNDPROC next = nullptr;
    int wholeTexts = 0; // WM_SETTEXT
    int insertions = 0; // EM_REPLACESEL
};
ChangeSpy gSpy;

LRESULT CALLBACK SpyOnChanges(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) ++gSpy.wholeTexts;
    if (message == EM_REPLACESEL) ++gSpy.insertions;
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
        gSpy = ChangeSpy{};
        gSpy.next = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpyOnChanges)));
    }

    // The read-join-set of the received box.
    static void Append(const Text& payload) { GadgetSetText(11, GadgetGetText(11) + payload); }

    // A rich-text control beside the box whose text is only ever replaced
    // whole, as the plain reading of "set the text" would do it.
    HWND Reference() {
        return CreateWindowExW(0, L"RichEdit20W", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 10,
                               150, 280, 100, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    }

    HWND window_ = nullptr;
};

} // namespace

TEST_F(EditorTextTest, TextThatExtendsTheCurrentOneIsAppendedInPlace) {
    HWND box = CreateBox();
    GadgetSetText(11, "first");
    Spy(box);
    GadgetSetText(11, "first second");
    EXPECT_EQ(gSpy.wholeTexts, 0);
    EXPECT_EQ(gSpy.insertions, 1);
    EXPECT_EQ(GadgetGetText(11), "first second");
    EXPECT_EQ(Native(box), u"first second");
    // The caret is at the end.
    DWORD start = 0, end = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 12u);
    EXPECT_EQ(end, 12u);
}

TEST_F(EditorTextTest, AnyOtherTextReplacesTheWholeText) {
    HWND box = CreateBox();
    GadgetSetText(11, "first line");
    Spy(box);
    GadgetSetText(11, "first"); // shorter
    GadgetSetText(11, "other"); // different
    EXPECT_EQ(gSpy.wholeTexts, 2);
    EXPECT_EQ(gSpy.insertions, 0);
    EXPECT_EQ(GadgetGetText(11), "other");
}

TEST_F(EditorTextTest, TheSameTextAgainChangesNothing) {
    HWND box = CreateBox();
    GadgetSetText(11, "same");
    Spy(box);
    GadgetSetText(11, GadgetGetText(11));
    EXPECT_EQ(gSpy.wholeTexts + gSpy.insertions, 0);
    EXPECT_EQ(GadgetGetText(11), "same");
}

TEST_F(EditorTextTest, ViewFollowsTheEndAsTextIsAppended) {
    HWND box = CreateBox();
    for (int i = 0; i < 60; ++i)
        Append("line " + std::to_string(i) + "\n");
    Append("last line, far to the right of the first column of the box: the newest data");
    Drain();
    EXPECT_GT(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 40);
    // The end of the text is within the client area.
    LRESULT length = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    GETTEXTLENGTHEX count{GTL_NUMCHARS | GTL_PRECISE, 1200};
    LRESULT end = SendMessageW(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&count), 0);
    ASSERT_GT(length, end); // line breaks read as two characters
    POINTL where{};
    SendMessageW(box, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&where), end - 1);
    RECT client;
    GetClientRect(box, &client);
    EXPECT_GE(where.y, client.top);
    EXPECT_LT(where.y, client.bottom);
    EXPECT_GE(where.x, client.left);
    EXPECT_LT(where.x, client.right);
}

TEST_F(EditorTextTest, AppendsInQuickSuccessionAreDrawnOnceTheGapHasPassed) {
    HWND box = CreateBox();
    Append("first"); // after a quiet spell: drawn at once
    EXPECT_FALSE(EditorRepaintDue(box));
    Append(" second"); // right after: waits for the gap, with what follows
    Append(" third");
    EXPECT_TRUE(EditorRepaintDue(box));
    EXPECT_EQ(GadgetGetText(11), "first second third"); // the text never waits
    DWORD start = GetTickCount();
    while ((EditorRepaintDue(box) || GetUpdateRect(box, nullptr, FALSE)) &&
           GetTickCount() - start < 5000) {
        Drain();
        Sleep(1);
    }
    EXPECT_FALSE(EditorRepaintDue(box));
    EXPECT_FALSE(GetUpdateRect(box, nullptr, FALSE)); // everything has been drawn
}

TEST_F(EditorTextTest, RepaintGapGrowsToFourTimesWhatTheLastRepaintTook) {
    HWND box = CreateBox();
    NoteEditorPaintCost(box, WM_PAINT, 0);
    NoteEditorPaintCost(box, WM_NCPAINT, 0);
    EXPECT_EQ(EditorRepaintGapMs(box), kEditorRepaintGapMs);
    NoteEditorPaintCost(box, WM_PAINT, 5); // cheap drawing keeps the shortest gap
    NoteEditorPaintCost(box, WM_NCPAINT, 4);
    EXPECT_EQ(EditorRepaintGapMs(box), kEditorRepaintGapMs);
    NoteEditorPaintCost(box, WM_PAINT, 20); // a long text above the view
    EXPECT_EQ(EditorRepaintGapMs(box), 4u * (20 + 4));
    NoteEditorPaintCost(box, WM_PAINT, 5000); // one stall counts as a quarter of a second
    NoteEditorPaintCost(box, WM_NCPAINT, 0);
    EXPECT_EQ(EditorRepaintGapMs(box), 4u * 250);
}

TEST_F(EditorTextTest, HiddenBoxStaysHiddenWhenAppendedTo) {
    HWND box = CreateBox();
    GadgetSetText(11, "a");
    GadgetHide(11, 1);
    Append("b");
    EXPECT_FALSE(IsWindowVisible(box));
    EXPECT_EQ(GadgetGetText(11), "ab");
    GadgetHide(11, 0);
    EXPECT_TRUE(IsWindowVisible(box));
}

TEST_F(EditorTextTest, ReadJoinSetGivesWhatReplacingTheWholeTextGivesForEveryLineBreak) {
    HWND box = CreateBox();
    HWND reference = Reference();
    GadgetSetText(11, "");
    const char* payloads[] = {"a",      "\n",       "b\r",    "\n",    "c\r\n", "d\n\r",
                              "\r\r\n", "e",        "\r",     "\r",    "f",     "x\ry\nz",
                              "\n\n\n", "\r\n\r\n", "\t\v\f", "end\r", "\n",    "\xCF\xF0\xE8"};
    for (const char* payload : payloads) {
        Append(payload);
        Text joined = Utf16ToCp1251(Native(reference)) + payload;
        SetNative(reference, Cp1251ToUtf16(joined));
        EXPECT_EQ(Native(box), Native(reference)) << "after " << Cp1251ToUtf8(payload);
        EXPECT_EQ(GadgetGetText(11), Utf16ToCp1251(Native(reference)));
        EXPECT_EQ(SendMessageW(box, EM_GETLINECOUNT, 0, 0),
                  SendMessageW(reference, EM_GETLINECOUNT, 0, 0));
    }
}

TEST_F(EditorTextTest, TextReadBackAndSetAgainStaysTheSame) {
    CreateBox();
    GadgetSetText(11, "a\nb\rc\r\nd\n\re\r\r\nf");
    // Each lone LF or CR, and each CR LF, is one paragraph break that reads
    // back as CR LF; CR CR LF is a soft break that reads back as a space.
    const Text read = GadgetGetText(11);
    EXPECT_EQ(read, "a\r\nb\r\nc\r\nd\r\n\r\ne f");
    GadgetSetText(11, "");
    GadgetSetText(11, read);
    EXPECT_EQ(GadgetGetText(11), read);
}

TEST_F(EditorTextTest, TenThousandShortPayloadsJoinExactly) {
    HWND box = CreateBox();
    GadgetSetText(11, "");
    Text expected;
    for (int i = 0; i < 10000; ++i) {
        Text payload = "p" + std::to_string(i) + (i % 100 == 99 ? "\r\n" : ";");
        expected += payload;
        Append(payload);
    }
    EXPECT_TRUE(GadgetGetText(11) == expected);
    EXPECT_TRUE(Native(box) == Cp1251ToUtf16(expected));
}

TEST_F(EditorTextTest, MirrorIsDroppedWhenTheControlIsChangedBehindTheGadget) {
    HWND box = CreateBox();
    GadgetSetText(11, "abc");
    EXPECT_EQ(GadgetGetText(11), "abc");
    EXPECT_TRUE(EditorTextMirrored(box));

    SetNative(box, u"xyz");
    EXPECT_FALSE(EditorTextMirrored(box));
    EXPECT_EQ(GadgetGetText(11), "xyz");
    Append("1");
    EXPECT_EQ(Native(box), u"xyz1");

    SendMessageW(box, EM_SETSEL, 0, 0);
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L">"));
    EXPECT_EQ(GadgetGetText(11), ">xyz1");
    Append("2");
    EXPECT_EQ(Native(box), u">xyz12");
    EXPECT_TRUE(EditorTextMirrored(box));
}

TEST_F(EditorTextTest, EditableBoxIsReadAfreshEveryTime) {
    HWND box = CreateBox(0);
    GadgetSetText(11, "ab");
    SendMessageW(box, EM_SETSEL, 2, 2);
    SendMessageW(box, WM_CHAR, 'c', 1);
    EXPECT_FALSE(EditorTextMirrored(box));
    EXPECT_EQ(GadgetGetText(11), "abc");
    Append("d");
    EXPECT_EQ(Native(box), u"abcd");
}

TEST_F(EditorTextTest, MirrorIsOnlyUsedWhileTheBoxIsReadOnly) {
    HWND box = CreateBox();
    GadgetSetText(11, "ab");
    EXPECT_EQ(GadgetGetText(11), "ab");
    GadgetRecord* record = FindGadget(11);
    record->kind->setAttribute(record, static_cast<int32_t>(EDITOR_READ_ONLY), 0);
    SendMessageW(box, EM_SETSEL, 2, 2);
    SendMessageW(box, WM_CHAR, 'c', 1);
    EXPECT_EQ(GadgetGetText(11), "abc");
}

TEST_F(EditorTextTest, TextWithCharactersOutsideTheCodePageIsReplacedWhole) {
    HWND box = CreateBox();
    SetNative(box, u"a\u4E2Db");
    const Text read = GadgetGetText(11);
    EXPECT_EQ(read, "a?b");
    EXPECT_FALSE(EditorTextMirrored(box));
    Spy(box);
    GadgetSetText(11, read + "c");
    // As a whole replacement would: the "?" is what is now in the box.
    EXPECT_EQ(Native(box), u"a?bc");
    EXPECT_EQ(gSpy.wholeTexts, 1);
}

TEST_F(EditorTextTest, ReadTextLeavesRoomToJoinAReceivedPayload) {
    CreateBox();
    GadgetSetText(11, Text(100000, 'r'));
    Text read = GadgetGetText(11);
    EXPECT_EQ(read.size(), 100000u);
    EXPECT_GE(read.capacity(), read.size() + 995);
}
