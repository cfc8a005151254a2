#include "ui/gadgets/editor_frame.h"

#include <richedit.h>

#include "runtime/dynamic_calls_win.h"
#include "ui/gadgets/editor_gadget.h"

namespace {

using Theme = HANDLE;

// The six theme functions, from the table of dynamic calls once the first
// editor's creation has found the theme library loaded; null before.
const DynamicCalls* gTheme;

// The edit box's text area and its states.
constexpr int kEditText = 1;      // EP_EDITTEXT
constexpr int kStateNormal = 1;   // ETS_NORMAL
constexpr int kStateDisabled = 4; // ETS_DISABLED
constexpr int kStateReadOnly = 6; // ETS_READONLY

Theme OpenEditTheme(HWND control) {
    if (!gTheme || !gTheme->OpenThemeData || !gTheme->CloseThemeData) return nullptr;
    return gTheme->OpenThemeData(control, L"edit");
}

} // namespace

void LoadThemeFunctions(HMODULE themeLibrary) {
    if (themeLibrary) gTheme = &Dynamic();
}

FrameInsets InsetsBetween(const RECT& proposed, const RECT& content) {
    return FrameInsets{content.left - proposed.left, content.top - proposed.top,
                       proposed.right - content.right, proposed.bottom - content.bottom};
}

RECT InsideInsets(const RECT& border, const FrameInsets& insets) {
    return RECT{border.left + insets.left, border.top + insets.top, border.right - insets.right,
                border.bottom - insets.bottom};
}

int ThemedBorderState(HWND control) {
    if (!IsWindowEnabled(control)) return kStateDisabled;
    if (SendMessageW(control, EM_GETOPTIONS, 0, 0) & ECO_READONLY) return kStateReadOnly;
    return kStateNormal;
}

bool ComputeThemedFrameInsets(HWND control, NCCALCSIZE_PARAMS* params) {
    Theme theme = OpenEditTheme(control);
    if (!theme) return false;
    bool computed = false;
    HWND parent = GetParent(control);
    HDC dc = GetDC(parent);
    RECT proposed = params->rgrc[0];
    RECT content{};
    if (gTheme->GetThemeBackgroundContentRect &&
        SUCCEEDED(gTheme->GetThemeBackgroundContentRect(theme, dc, kEditText, kStateNormal,
                                                        &proposed, &content))) {
        InflateRect(&content, -1, -1);
        FrameInsets insets = InsetsBetween(proposed, content);
        if (auto* stored = static_cast<FrameInsets*>(GetPropW(control, kClientRectProperty)))
            *stored = insets;
        params->rgrc[0] = content;
        computed = true;
    }
    ReleaseDC(parent, dc);
    gTheme->CloseThemeData(theme);
    return computed;
}

void PaintThemedBorder(HWND control) {
    Theme theme = OpenEditTheme(control);
    if (!theme) return;
    HDC dc = GetWindowDC(control);
    RECT border;
    GetWindowRect(control, &border);
    OffsetRect(&border, -border.left, -border.top);
    FrameInsets insets{};
    if (auto* stored = static_cast<FrameInsets*>(GetPropW(control, kClientRectProperty)))
        insets = *stored;
    RECT inner = InsideInsets(border, insets);
    ExcludeClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
    if (gTheme->IsThemeBackgroundPartiallyTransparent && gTheme->DrawThemeParentBackground &&
        gTheme->IsThemeBackgroundPartiallyTransparent(theme, kEditText, kStateNormal))
        gTheme->DrawThemeParentBackground(control, dc, &border);
    if (gTheme->DrawThemeBackground)
        gTheme->DrawThemeBackground(theme, dc, kEditText, ThemedBorderState(control), &border,
                                    nullptr);
    gTheme->CloseThemeData(theme);
    ReleaseDC(control, dc);
}
