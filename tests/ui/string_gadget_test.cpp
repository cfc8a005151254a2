#include "ui/gadgets/string_gadget.h"

#include "tests/ui/gadgets_fixture.h"

namespace {

class StringGadgetTest : public GadgetsTest {
  protected:
    // Waits until the keys sent have all been handled and the field reads text.
    static bool TypedInto(HWND field, const std::u16string& text) {
        return WaitWhileDispatching(
            [&] { return GetQueueStatus(QS_KEY) == 0 && Native(field) == text; });
    }
};

} // namespace

TEST_F(StringGadgetTest, NumericFieldRefusesTypedLettersWhileTheProgramSetsAnyText) {
    OpenWindow();
    HWND numeric = Handle(GadgetCreateString(4, 10, 10, 100, 20, "", STRING_NUMERIC));
    HWND plain = Handle(GadgetCreateString(7, 10, 40, 100, 20, ""));
    EXPECT_NE(GetWindowLongPtrW(numeric, GWL_STYLE) & ES_NUMBER, 0);

    ASSERT_TRUE(Focus(numeric));
    PressKeys({'A', '2', 'B', '0', 'Z', '4', '8'});
    EXPECT_TRUE(TypedInto(numeric, u"2048")) << Cp1251ToUtf8(GadgetGetText(4));
    ASSERT_TRUE(Focus(plain));
    PressKeys({'A', '2'});
    EXPECT_TRUE(TypedInto(plain, u"a2"));

    GadgetSetText(4, "port?!");
    EXPECT_EQ(GadgetGetText(4), "port?!");
}

TEST_F(StringGadgetTest, MovingTheFocusPostsLostForOneFieldThenGainedForTheOther) {
    OpenWindow(3);
    HWND first = Handle(GadgetCreateString(1, 10, 10, 100, 20, "one"));
    HWND second = Handle(GadgetCreateString(2, 10, 40, 100, 20, "two"));
    ASSERT_TRUE(Focus(first));
    Drain();

    SetFocus(second);
    std::vector<DeliveredEvent> events = GadgetEvents(Drain());
    std::vector<DeliveredEvent> focus;
    for (const DeliveredEvent& e : events)
        if (e.type == EVENT_TYPE_FOCUS || e.type == EVENT_TYPE_LOST_FOCUS) focus.push_back(e);
    ASSERT_EQ(focus.size(), 2u);
    EXPECT_EQ(focus[0].type, EVENT_TYPE_LOST_FOCUS);
    EXPECT_EQ(focus[0].gadget, 1);
    EXPECT_EQ(focus[1].type, EVENT_TYPE_FOCUS);
    EXPECT_EQ(focus[1].gadget, 2);
    EXPECT_EQ(focus[0].window, 3);
    EXPECT_EQ(focus[1].window, 3);
}

namespace {
// The field tells its parent about the new focus while it handles the change
// itself; by then the focus event must be in the queue.
WNDPROC gParentProcedure;
HWND gWatchedField;
int32_t gQueuedAtNotice = -1;
LRESULT CALLBACK WatchFocusNotice(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == EN_SETFOCUS &&
        reinterpret_cast<HWND>(lParam) == gWatchedField)
        gQueuedAtNotice = EventQueueLength();
    return CallWindowProcW(gParentProcedure, window, message, wParam, lParam);
}
} // namespace

TEST_F(StringGadgetTest, FocusEventIsQueuedBeforeTheFieldHandlesTheChange) {
    HWND window = OpenWindow();
    HWND first = Handle(GadgetCreateString(1, 10, 10, 100, 20, "one"));
    HWND second = Handle(GadgetCreateString(2, 10, 40, 100, 20, "two"));
    EXPECT_EQ(FindGadget(2)->previousProcedure, StringFocusProc);
    ASSERT_TRUE(Focus(first));
    Drain();
    gWatchedField = second;
    gQueuedAtNotice = -1;
    gParentProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchFocusNotice)));
    SetFocus(second);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gParentProcedure));
    // The lost-focus event of the first field, then the second's focus event.
    EXPECT_EQ(gQueuedAtNotice, 2);
}

TEST_F(StringGadgetTest, MaxLengthAttributeLimitsTypingAndIsAtLeastOne) {
    OpenWindow();
    HWND field = Handle(GadgetCreateString(1, 10, 10, 100, 20, ""));
    GadgetRecord* record = FindGadget(1);
    record->kind->setAttribute(record, STRING_MAX_LENGTH, 3);
    EXPECT_EQ(record->kind->getAttribute(record, STRING_MAX_LENGTH), 3);
    ASSERT_TRUE(Focus(field));
    PressKeys({'1', '2', '3', '4', '5'});
    EXPECT_TRUE(TypedInto(field, u"123"));

    record->kind->setAttribute(record, STRING_MAX_LENGTH, 0);
    EXPECT_EQ(record->kind->getAttribute(record, STRING_MAX_LENGTH), 1);
    record->kind->setAttribute(record, STRING_MAX_LENGTH, -5);
    EXPECT_EQ(record->kind->getAttribute(record, STRING_MAX_LENGTH), 1);
    // Other attributes mean nothing to a field.
    record->kind->setAttribute(record, 2, 50);
    EXPECT_EQ(record->kind->getAttribute(record, 2), 0);
    EXPECT_EQ(record->kind->getAttribute(record, STRING_MAX_LENGTH), 1);
}

TEST_F(StringGadgetTest, FieldsHaveTheClientEdgeUnlessBorderless) {
    OpenWindow();
    HWND framed = Handle(GadgetCreateString(1, 10, 10, 100, 20, ""));
    HWND bare = Handle(GadgetCreateString(2, 10, 40, 100, 20, "", STRING_BORDERLESS));
    EXPECT_NE(GetWindowLongPtrW(framed, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(GetWindowLongPtrW(bare, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    const LONG_PTR base = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL;
    EXPECT_EQ(GetWindowLongPtrW(framed, GWL_STYLE) & base, base);
}
