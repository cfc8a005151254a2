#include "ui/gadgets/text_gadget.h"

#include "tests/ui/gadgets_fixture.h"

namespace {

class TextGadgetTest : public GadgetsTest {
  protected:
    // The leftmost and rightmost columns in which the label painted
    // something other than its background, -1 when it painted nothing.
    static std::pair<int, int> InkColumns(HWND control) {
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        RECT client;
        GetClientRect(control, &client);
        const int width = client.right, height = client.bottom;
        HDC screen = GetDC(control);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const uint32_t*>(bits);
        const uint32_t background = pixels[0];
        int first = -1, last = -1;
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < height; ++y)
                if (pixels[y * width + x] != background) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(control, screen);
        return {first, last};
    }
};

} // namespace

TEST_F(TextGadgetTest, LabelFlagsAlignTheTextLeftCentredOrRight) {
    HWND window = OpenWindow(0, 400, 200);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }));
    const int width = 300;
    HWND left = Handle(GadgetCreateText(1, 10, 10, width, 20, "MMMM", 0));
    HWND centred = Handle(GadgetCreateText(2, 10, 40, width, 20, "MMMM", TEXT_CENTER));
    HWND right = Handle(GadgetCreateText(3, 10, 70, width, 20, "MMMM", TEXT_RIGHT));
    EXPECT_EQ(GetWindowLongPtrW(left, GWL_STYLE) & SS_TYPEMASK, SS_LEFT);
    EXPECT_EQ(GetWindowLongPtrW(centred, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
    EXPECT_EQ(GetWindowLongPtrW(right, GWL_STYLE) & SS_TYPEMASK, SS_RIGHT);
    Drain();

    auto [leftFirst, leftLast] = InkColumns(left);
    auto [centreFirst, centreLast] = InkColumns(centred);
    auto [rightFirst, rightLast] = InkColumns(right);
    ASSERT_GE(leftFirst, 0);
    ASSERT_GE(centreFirst, 0);
    ASSERT_GE(rightFirst, 0);
    EXPECT_LT(leftFirst, 10);
    EXPECT_NEAR((centreFirst + centreLast) / 2, width / 2, 10);
    EXPECT_GT(rightLast, width - 10);
    // The same text, the same ink, in three places.
    EXPECT_EQ(leftLast - leftFirst, centreLast - centreFirst);
    EXPECT_EQ(leftLast - leftFirst, rightLast - rightFirst);
}

TEST_F(TextGadgetTest, BorderFlagAddsTheSunkenEdgeAndOtherBitsReachTheStyle) {
    OpenWindow();
    HWND plain = Handle(GadgetCreateText(1, 10, 10, 100, 20, "plain"));
    HWND bordered =
        Handle(GadgetCreateText(2, 10, 40, 100, 20, "border", TEXT_BORDER | SS_NOPREFIX));
    EXPECT_EQ(GetWindowLongPtrW(plain, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_NE(GetWindowLongPtrW(bordered, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_NE(GetWindowLongPtrW(bordered, GWL_STYLE) & SS_NOPREFIX, 0);
    const LONG_PTR base = WS_CHILD | WS_VISIBLE | WS_GROUP;
    EXPECT_EQ(GetWindowLongPtrW(plain, GWL_STYLE) & base, base);
}

TEST_F(TextGadgetTest, LabelShowsItsCyrillicTextAsCharacters) {
    OpenWindow();
    HWND label = Handle(GadgetCreateText(1, 10, 10, 100, 20, "\xCF\xEE\xF0\xF2:"));
    EXPECT_EQ(Native(label), u"\u041F\u043E\u0440\u0442:");
    EXPECT_EQ(GadgetGetText(1), "\xCF\xEE\xF0\xF2:");
}
