#include "ui/gadgets/gadget_list.h"

#include <thread>

#include "tests/ui/gadgets_fixture.h"

namespace {

class GadgetListTest : public GadgetsTest {
  protected:
    static GadgetListState& State() { return *ThreadGadgetListState(); }
    // The window that a new gadget lands in.
    static HWND NewGadgetParent(ObjectNumber number) {
        HWND control = Handle(GadgetCreateButton(number, 5, 5, 40, 20, "b"));
        return control ? GetParent(control) : nullptr;
    }
};

} // namespace

TEST_F(GadgetListTest, OpenedWindowBecomesTheCurrentListWithASaveRecordInFrontOfItsProcedure) {
    HWND window = OpenWindow();
    EXPECT_EQ(State().currentList, window);
    EXPECT_EQ(State().depth, 0);
    EXPECT_EQ(State().capacity, 10);
    EXPECT_NE(State().stack, nullptr);
    EXPECT_EQ(State().font, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));

    std::wstring name =
        L"KX_GadgetStack_" + std::to_wstring(reinterpret_cast<intptr_t>(GetModuleHandleW(nullptr)));
    EXPECT_EQ(GadgetListPropertyName().get(), name);
    auto* save = static_cast<GadgetListSave*>(GetPropW(window, name.c_str()));
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->window, window);
    EXPECT_NE(save->previousProcedure, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(GadgetListProc));
    EXPECT_EQ(NewGadgetParent(1), window);
}

TEST_F(GadgetListTest, SwitchingBetweenTwoWindowsRestoresEachOnesOwnState) {
    HWND a = OpenWindow(0);
    HWND* stackOfA = State().stack;
    HWND b = OpenWindow(1);
    EXPECT_EQ(State().currentList, b);
    HWND* stackOfB = State().stack;
    EXPECT_NE(stackOfB, stackOfA);
    EXPECT_EQ(GadgetListSaveOf(a)->savedList, a);
    EXPECT_EQ(GadgetListSaveOf(a)->savedStack, stackOfA);
    EXPECT_EQ(NewGadgetParent(1), b);

    EXPECT_EQ(GadgetListUse(a), b);
    EXPECT_EQ(State().currentList, a);
    EXPECT_EQ(State().stack, stackOfA);
    EXPECT_EQ(GadgetListSaveOf(a)->savedStack, nullptr); // taken back
    EXPECT_EQ(GadgetListSaveOf(b)->savedStack, stackOfB);
    EXPECT_EQ(NewGadgetParent(2), a);

    EXPECT_EQ(GadgetListUse(b), a);
    EXPECT_EQ(State().stack, stackOfB);
    EXPECT_EQ(NewGadgetParent(3), b);
    // Both windows still run their own procedures behind GadgetListProc.
    EXPECT_EQ(GetWindowLongPtrW(a, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(GadgetListProc));
    EXPECT_EQ(GetWindowLongPtrW(b, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(GadgetListProc));
}

TEST_F(GadgetListTest, AskingWithNoWindowReturnsTheOwnerAndChangesNothing) {
    HWND a = OpenWindow(0);
    HWND* stack = State().stack;
    EXPECT_EQ(GadgetListUse(nullptr), a);
    EXPECT_EQ(GadgetListUse(nullptr), a);
    EXPECT_EQ(State().currentList, a);
    EXPECT_EQ(State().stack, stack);
}

TEST_F(GadgetListTest, MakingTheCurrentListCurrentAgainKeepsItsState) {
    HWND a = OpenWindow(0);
    HWND* stack = State().stack;
    EXPECT_EQ(GadgetListUse(a), a);
    EXPECT_EQ(State().currentList, a);
    EXPECT_EQ(State().stack, stack);
    EXPECT_EQ(NewGadgetParent(1), a);
}

TEST_F(GadgetListTest, DestroyingTheCurrentListWindowLeavesNoneUntilAnotherIsMadeCurrent) {
    HWND a = OpenWindow(0);
    OpenWindow(1);
    GadgetCreateText(5, 0, 0, 20, 20, "in b");
    WindowClose(1);
    EXPECT_EQ(GadgetListUse(nullptr), nullptr);
    EXPECT_EQ(State().currentList, nullptr);
    EXPECT_EQ(FindGadget(5), nullptr);
    EXPECT_EQ(GadgetCreateText(6, 0, 0, 20, 20, "nowhere"), 0);
    EXPECT_EQ(GadgetCreateEditor(6, 0, 0, 20, 20), 0);

    EXPECT_EQ(GadgetListUse(a), nullptr);
    EXPECT_EQ(NewGadgetParent(6), a);
}

TEST_F(GadgetListTest, DestroyingAnotherListWindowKeepsTheCurrentOne) {
    HWND a = OpenWindow(0);
    HWND b = OpenWindow(1);
    GadgetListUse(a);
    WindowClose(1);
    EXPECT_FALSE(IsWindow(b));
    EXPECT_EQ(GadgetListUse(nullptr), a);
    EXPECT_EQ(NewGadgetParent(1), a);
}

TEST_F(GadgetListTest, AnyWindowCanServeAsAList) {
    OpenWindow(0);
    HWND raw = RawWindow();
    GadgetListUse(raw);
    EXPECT_EQ(NewGadgetParent(1), raw);
    EXPECT_NE(GadgetListSaveOf(raw), nullptr);
    GadgetSetText(1, "raw");
    EXPECT_EQ(GadgetGetText(1), "raw");
    DestroyWindow(raw);
    EXPECT_EQ(FindGadget(1), nullptr);
    EXPECT_EQ(GadgetListUse(nullptr), nullptr);
}

TEST_F(GadgetListTest, WindowOpenedWithoutAGadgetListLeavesTheCurrentOne) {
    HWND a = OpenWindow(0);
    HWND other =
        Handle(WindowOpen(1, 300, 20, 100, 100, "no list", WINDOW_NO_GADGET_LIST, nullptr));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(GadgetListUse(nullptr), a);
    EXPECT_EQ(GadgetListSaveOf(other), nullptr);
}

TEST_F(GadgetListTest, EachThreadHasItsOwnList) {
    HWND a = OpenWindow(0);
    HWND seenByOther = a;
    HWND otherList = nullptr;
    HWND otherParent = nullptr;
    std::thread other([&] {
        seenByOther = GadgetListUse(nullptr);
        otherList = Handle(WindowOpen(5, 300, 20, 100, 100, "other thread", 0, nullptr));
        intptr_t number = GadgetCreateButton(-1, 5, 5, 40, 20, "b");
        otherParent = number ? GetParent(FindGadget(number)->handle) : nullptr;
        WindowClose(5);
    });
    other.join();
    EXPECT_EQ(seenByOther, nullptr);
    EXPECT_NE(otherList, nullptr);
    EXPECT_EQ(otherParent, otherList);
    EXPECT_EQ(GadgetListUse(nullptr), a);
}
