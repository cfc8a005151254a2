#include "ui/gadgets/button_gadget.h"

#include "tests/ui/gadgets_fixture.h"

namespace {
class ButtonGadgetTest : public GadgetsTest {};
} // namespace

TEST_F(ButtonGadgetTest, CheckStateFollowsSetStateAndReadsAsZeroOrOne) {
    OpenWindow();
    HWND box = Handle(GadgetCreateButton(1, 10, 10, 100, 20, "box", BS_AUTOCHECKBOX));
    GadgetRecord* record = FindGadget(1);
    EXPECT_EQ(record->kind->getState(record), 0);
    record->kind->setState(record, 1);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(record->kind->getState(record), 1);
    record->kind->setState(record, 0);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    record->kind->setState(record, 7);
    EXPECT_EQ(record->kind->getState(record), 1);
    // The indeterminate state of a three-state box reads as unchecked.
    HWND three = Handle(GadgetCreateButton(2, 10, 40, 100, 20, "three", BS_AUTO3STATE));
    SendMessageW(three, BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_EQ(FindGadget(2)->kind->getState(FindGadget(2)), 0);
}

TEST_F(ButtonGadgetTest, ClickGivesAGadgetEventWithTheButtonsNumber) {
    OpenWindow(2);
    HWND button = Handle(GadgetCreateButton(5, 10, 10, 100, 20, "\xD1\xF2\xE0\xF0\xF2"));
    EXPECT_EQ(Native(button), u"\u0421\u0442\u0430\u0440\u0442");
    Drain();
    PostMessageW(button, BM_CLICK, 0, 0);
    DeliveredEvent click{};
    EXPECT_TRUE(WaitUntil([&] {
        DeliveredEvent next = Wait(10);
        if (next.code == EVENT_GADGET) click = next;
        return click.code == EVENT_GADGET;
    }));
    EXPECT_EQ(click.gadget, 5);
    EXPECT_EQ(click.window, 2);
    EXPECT_EQ(click.type, BN_CLICKED);
}
