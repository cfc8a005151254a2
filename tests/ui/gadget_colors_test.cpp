#include "ui/gadgets/gadget_colors.h"

#include "tests/ui/gadgets_fixture.h"
#include "ui/gadgets/brush_cache.h"

namespace {

class GadgetColorsTest : public GadgetsTest {
  protected:
    void SetUp() override {
        GadgetsTest::SetUp();
        window_ = OpenWindow();
        dc_ = CreateCompatibleDC(nullptr);
    }
    void TearDown() override {
        DeleteDC(dc_);
        GadgetsTest::TearDown();
    }

    // Asks the parent for the colours of control, as the control would.
    LRESULT Ask(UINT message, HWND control) {
        SetTextColor(dc_, kUntouched);
        SetBkColor(dc_, kUntouched);
        return SendMessageW(window_, message, reinterpret_cast<WPARAM>(dc_),
                            reinterpret_cast<LPARAM>(control));
    }
    LRESULT PlatformAnswer(UINT message, HWND control) {
        return DefWindowProcW(window_, message, reinterpret_cast<WPARAM>(dc_),
                              reinterpret_cast<LPARAM>(control));
    }

    static void SetColor(ObjectNumber number, int32_t type, int32_t color) {
        GadgetRecord* record = FindGadget(number);
        record->kind->setColor(record, type, color);
    }
    static int32_t GetColor(ObjectNumber number, int32_t type) {
        GadgetRecord* record = FindGadget(number);
        return record->kind->getColor(record, type);
    }
    static HBRUSH BrushOf(ObjectNumber number) { return FindGadget(number)->colors.brush; }
    static bool BrushExists(HBRUSH brush) { return GetObjectType(brush) == OBJ_BRUSH; }

    static constexpr COLORREF kUntouched = RGB(1, 2, 3);
    static constexpr COLORREF kRed = RGB(200, 0, 0);
    static constexpr COLORREF kBlue = RGB(0, 0, 190);
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

} // namespace

TEST_F(GadgetColorsTest, FrontColorAloneSetsTheTextOnTheSystemBackground) {
    HWND label = Handle(GadgetCreateText(1, 10, 10, 80, 20, "label"));
    HWND field = Handle(GadgetCreateString(2, 10, 40, 80, 20, "field"));
    SetColor(1, GADGET_COLOR_FRONT, kRed);
    SetColor(2, GADGET_COLOR_FRONT, kBlue);
    EXPECT_EQ(Ask(WM_CTLCOLORSTATIC, label),
              reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)));
    EXPECT_EQ(GetTextColor(dc_), kRed);
    EXPECT_EQ(GetBkColor(dc_), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(Ask(WM_CTLCOLOREDIT, field),
              reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
    EXPECT_EQ(GetTextColor(dc_), kBlue);
    EXPECT_EQ(GetBkColor(dc_), GetSysColor(COLOR_WINDOW));
}

TEST_F(GadgetColorsTest, BackColorPaintsWithTheCachedBrush) {
    HWND label = Handle(GadgetCreateText(1, 10, 10, 80, 20, "label"));
    SetColor(1, GADGET_COLOR_BACK, kBlue);
    ASSERT_NE(BrushOf(1), nullptr);
    EXPECT_EQ(Ask(WM_CTLCOLORSTATIC, label), reinterpret_cast<LRESULT>(BrushOf(1)));
    EXPECT_EQ(GetBkColor(dc_), kBlue);
    EXPECT_EQ(GetTextColor(dc_), kUntouched);
    SetColor(1, GADGET_COLOR_FRONT, kRed);
    EXPECT_EQ(Ask(WM_CTLCOLORSTATIC, label), reinterpret_cast<LRESULT>(BrushOf(1)));
    EXPECT_EQ(GetTextColor(dc_), kRed);
    EXPECT_EQ(GetBkColor(dc_), kBlue);
}

TEST_F(GadgetColorsTest, PlatformColorsAreLeftToThePlatform) {
    HWND label = Handle(GadgetCreateText(1, 10, 10, 80, 20, "label"));
    HWND field = Handle(GadgetCreateString(2, 10, 40, 80, 20, "field"));
    EXPECT_EQ(Ask(WM_CTLCOLORSTATIC, label), PlatformAnswer(WM_CTLCOLORSTATIC, label));
    EXPECT_EQ(Ask(WM_CTLCOLOREDIT, field), PlatformAnswer(WM_CTLCOLOREDIT, field));
    SetColor(1, GADGET_COLOR_FRONT, kRed);
    SetColor(1, GADGET_COLOR_FRONT, GADGET_COLOR_DEFAULT);
    EXPECT_EQ(Ask(WM_CTLCOLORSTATIC, label), PlatformAnswer(WM_CTLCOLORSTATIC, label));
    EXPECT_NE(GetTextColor(dc_), kRed);
}

TEST_F(GadgetColorsTest, LabelAnswersOnlyStaticRequestsAndAFieldItsStaticOnesOnlyWhileEnabled) {
    HWND label = Handle(GadgetCreateText(1, 10, 10, 80, 20, "label"));
    HWND field = Handle(GadgetCreateString(2, 10, 40, 80, 20, "field"));
    SetColor(1, GADGET_COLOR_BACK, kBlue);
    SetColor(2, GADGET_COLOR_BACK, kRed);
    EXPECT_EQ(Ask(WM_CTLCOLOREDIT, label), PlatformAnswer(WM_CTLCOLOREDIT, label));
    EXPECT_EQ(Ask(WM_CTLCOLORSTATIC, field), reinterpret_cast<LRESULT>(BrushOf(2)));
    GadgetDisable(2, 1);
    EXPECT_EQ(Ask(WM_CTLCOLORSTATIC, field), PlatformAnswer(WM_CTLCOLORSTATIC, field));
    EXPECT_EQ(Ask(WM_CTLCOLOREDIT, field), reinterpret_cast<LRESULT>(BrushOf(2)));
    EXPECT_EQ(GetBkColor(dc_), kRed);
}

TEST_F(GadgetColorsTest, GetColorReportsEachColorAndDefaultForOtherTypes) {
    GadgetCreateString(2, 10, 40, 80, 20, "field");
    EXPECT_EQ(GetColor(2, GADGET_COLOR_FRONT), GADGET_COLOR_DEFAULT);
    EXPECT_EQ(GetColor(2, GADGET_COLOR_BACK), GADGET_COLOR_DEFAULT);
    SetColor(2, GADGET_COLOR_FRONT, static_cast<int32_t>(kRed));
    SetColor(2, GADGET_COLOR_BACK, static_cast<int32_t>(kBlue));
    SetColor(2, 3, static_cast<int32_t>(kBlue)); // no such type: nothing changes
    EXPECT_EQ(GetColor(2, GADGET_COLOR_FRONT), static_cast<int32_t>(kRed));
    EXPECT_EQ(GetColor(2, GADGET_COLOR_BACK), static_cast<int32_t>(kBlue));
    EXPECT_EQ(GetColor(2, 3), GADGET_COLOR_DEFAULT);
}

TEST_F(GadgetColorsTest, GadgetsOfOneBackColorShareABrushDeletedWhenTheLastLetsGo) {
    GadgetCreateText(1, 10, 10, 80, 20, "a");
    GadgetCreateString(2, 10, 40, 80, 20, "b");
    int32_t entries = BrushCacheSize();
    const int32_t color = RGB(10, 20, 30);
    SetColor(1, GADGET_COLOR_BACK, color);
    SetColor(2, GADGET_COLOR_BACK, color);
    HBRUSH shared = BrushOf(1);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(BrushOf(2), shared);
    EXPECT_EQ(BrushReferences(shared), 2);
    EXPECT_EQ(BrushCacheSize(), entries + 1);

    SetColor(1, GADGET_COLOR_BACK, GADGET_COLOR_DEFAULT);
    EXPECT_EQ(BrushOf(1), nullptr);
    EXPECT_TRUE(BrushExists(shared));
    EXPECT_EQ(BrushReferences(shared), 1);
    SetColor(2, GADGET_COLOR_BACK, RGB(1, 1, 1)); // another colour lets go too
    EXPECT_FALSE(BrushExists(shared));
    EXPECT_EQ(BrushReferences(shared), 0);
    EXPECT_EQ(BrushCacheSize(), entries + 1); // the other colour's entry
    SetColor(2, GADGET_COLOR_BACK, GADGET_COLOR_DEFAULT);
    EXPECT_EQ(BrushCacheSize(), entries);
}

TEST_F(GadgetColorsTest, DestroyingAGadgetLetsGoOfItsBrush) {
    GadgetCreateText(1, 10, 10, 80, 20, "a");
    GadgetCreateText(2, 10, 40, 80, 20, "b");
    SetColor(1, GADGET_COLOR_BACK, RGB(40, 50, 60));
    SetColor(2, GADGET_COLOR_BACK, RGB(40, 50, 60));
    HBRUSH brush = BrushOf(1);
    GadgetFree(1);
    EXPECT_EQ(BrushReferences(brush), 1);
    WindowClose(0); // the window takes the other gadget with it
    EXPECT_EQ(BrushReferences(brush), 0);
    EXPECT_FALSE(BrushExists(brush));
}

TEST_F(GadgetColorsTest, BrushCacheIgnoresBrushesItDoesNotHold) {
    HBRUSH foreign = CreateSolidBrush(RGB(7, 7, 7));
    int32_t entries = BrushCacheSize();
    BrushRelease(foreign);
    BrushRelease(nullptr);
    EXPECT_TRUE(BrushExists(foreign));
    EXPECT_EQ(BrushCacheSize(), entries);
    DeleteObject(foreign);
}
