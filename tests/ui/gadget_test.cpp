// Gadgets of every kind: creation, numbers, the common commands, the gadget
// list, fields, buttons and colours.
#include <tuple>

#include "tests/support/ui_fixture.h"
#include "ui/gadgets/brush_cache.h"
#include "ui/gadgets/gadget_list.h"

namespace {

using GadgetTest = GadgetsTest;

} // namespace

// A gadget made under the number of another destroys it first, with its
// queued events, and takes over its record.
TEST_F(GadgetTest, ReusingANumberDestroysTheOldGadgetWithItsEvents) {
    OpenWindow();
    HWND old = Handle(GadgetCreateText(4, 10, 10, 80, 20, "old"));
    GadgetRecord* record = Record(4);
    Drain();
    EventPost(EVENT_GADGET, 4, 0, 1);
    EventPost(EVENT_GADGET, 5, 0, 1);
    HWND replacement = Handle(GadgetCreateButton(4, 10, 70, 80, 20, "new"));
    EXPECT_TRUE(!IsWindow(old) && Record(4) == record && record->handle == replacement);
    std::vector<Delivered> events = GadgetEvents(Drain());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, 5);
}

// Hiding and disabling the panel's gadgets is the end-to-end panel test's;
// here a dynamic number (the record's address) serves the commands, numbers
// without a gadget are ignored, and freeing takes one gadget or all.
TEST_F(GadgetTest, CommandsServeDynamicNumbersAndIgnoreNumbersWithoutAGadget) {
    HWND window = OpenWindow();
    HWND button = Handle(GadgetCreateButton(1, 10, 10, 80, 20, "b"));
    intptr_t dynamic = GadgetCreateString(DynamicNumber, 10, 40, 80, 20, "full");
    ASSERT_TRUE(dynamic && reinterpret_cast<intptr_t>(Record(dynamic)) == dynamic);
    HWND field = Record(dynamic)->handle;
    GadgetHide(77, 1);
    GadgetSetText(77, "x");
    EXPECT_TRUE(GadgetGetText(77).empty() && GadgetFree(77) == 0);
    GadgetDisable(dynamic, 5);
    EXPECT_FALSE(IsWindowEnabled(field));
    EXPECT_EQ(GadgetFree(dynamic), 1);
    EXPECT_TRUE(!IsWindow(field) && !Record(dynamic) && GadgetFree(dynamic) == 0);
    EXPECT_EQ(GadgetFree(-1), 0); // every gadget, but not the window
    EXPECT_TRUE(!IsWindow(button) && IsWindow(window));
}

// What the program never does, one case each: a check box's state, a list
// of another window, a field's length limit.
TEST_F(GadgetTest, CheckBoxGadgetListsAndLengthLimit) {
    HWND a = OpenWindow(0), b = OpenWindow(3);
    ASSERT_NE(GadgetCreateButton(2, 10, 10, 80, 20, "box", BS_AUTO3STATE), 0);
    GadgetRecord* box = Record(2);
    box->kind->setState(box, 7);
    EXPECT_TRUE(SendMessageW(box->handle, BM_GETCHECK, 0, 0) == BST_CHECKED &&
                box->kind->getState(box) == 1);
    EXPECT_EQ(GadgetListUse(a), b);
    EXPECT_EQ(GetParent(Handle(GadgetCreateButton(5, 5, 5, 40, 20, "b"))), a);
    ASSERT_NE(GadgetCreateString(6, 10, 70, 100, 20, ""), 0);
    GadgetRecord* field = Record(6);
    for (const auto& [value, limit] : {std::pair{0, 1}, {3, 3}}) {
        field->kind->setAttribute(field, STRING_MAX_LENGTH, value);
        EXPECT_EQ(field->kind->getAttribute(field, STRING_MAX_LENGTH), limit) << value;
    }
}

// Colours, which the program never sets: a label's back colour paints with a
// brush that gadgets of that colour share; the brush goes once no gadget
// has the colour.
TEST_F(GadgetTest, ColourRequestsAreAnsweredWithTheGadgetsColoursAndBrushesShared) {
    HWND window = OpenWindow();
    HWND label = Handle(GadgetCreateText(1, 10, 10, 80, 20, "label"));
    GadgetCreateString(2, 10, 40, 80, 20, "field");
    const int32_t blue = RGB(0, 0, 190);
    HDC dc = CreateCompatibleDC(nullptr);
    for (ObjectNumber number : {1, 2})
        Record(number)->kind->setColor(Record(number), GADGET_COLOR_BACK, blue);
    HBRUSH shared = Record(1)->colors.brush;
    EXPECT_TRUE(Record(2)->colors.brush == shared && BrushReferences(shared) == 2);
    EXPECT_EQ(SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(label)),
              reinterpret_cast<LRESULT>(shared));
    EXPECT_EQ(GetBkColor(dc), static_cast<COLORREF>(blue));
    GadgetFree(2);
    EXPECT_EQ(BrushReferences(shared), 1);
    WindowClose(0); // the window takes its gadgets and the last one with it
    EXPECT_TRUE(BrushReferences(shared) == 0 && GetObjectType(shared) == 0);
    DeleteDC(dc);
}
