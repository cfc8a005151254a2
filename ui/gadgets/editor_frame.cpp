#include "ui/gadgets/editor_frame.h"

#include <richedit.h>

#include "ui/gadgets/editor_gadget.h"
#include "ui/windows/native_text.h"

namespace {

using Theme = HANDLE;
using OpenThemeDataProc = Theme(WINAPI*)(HWND, LPCWSTR);
using CloseThemeDataProc = HRESULT(WINAPI*)(Theme);
using GetThemeBackgroundContentRectProc = HRESULT(WINAPI*)(Theme, HDC, int, int, const RECT*,
                                                           RECT*);
using IsThemeBackgroundPartiallyTransparentProc = BOOL(WINAPI*)(Theme, int, int);
using DrawThemeParentBackgroundProc = HRESULT(WINAPI*)(HWND, HDC, const RECT*);
using DrawThemeBackgroundProc = HRESULT(WINAPI*)(Theme, HDC, int, int, const RECT*, const RECT*);

struct ThemeFunctions {
    OpenThemeDataProc open;
    CloseThemeDataProc close;
    GetThemeBackgroundContentRectProc contentRect;
    IsThemeBackgroundPartiallyTransparentProc partiallyTransparent;
    DrawThemeParentBackgroundProc drawParentBackground;
    DrawThemeBackgroundProc drawBackground;
};

ThemeFunctions gTheme;

// The edit box's text area and its states.
constexpr int kEditText = 1;      // EP_EDITTEXT
constexpr int kStateNormal = 1;   // ETS_NORMAL
constexpr int kStateDisabled = 4; // ETS_DISABLED
constexpr int kStateReadOnly = 6; // ETS_READONLY

Theme OpenEditTheme(HWND control) {
    if (!gTheme.open || !gTheme.close) return nullptr;
    return gTheme.open(control, L"edit");
}

} // namespace

void LoadThemeFunctions(HMODULE themeLibrary) {
    gTheme.open = LibraryProcedure<OpenThemeDataProc>(themeLibrary, "OpenThemeData");
    gTheme.close = LibraryProcedure<CloseThemeDataProc>(themeLibrary, "CloseThemeData");
    gTheme.contentRect = LibraryProcedure<GetThemeBackgroundContentRectProc>(
        themeLibrary, "GetThemeBackgroundContentRect");
    gTheme.partiallyTransparent = LibraryProcedure<IsThemeBackgroundPartiallyTransparentProc>(
        themeLibrary, "IsThemeBackgroundPartiallyTransparent");
    gTheme.drawParentBackground =
        LibraryProcedure<DrawThemeParentBackgroundProc>(themeLibrary, "DrawThemeParentBackground");
    gTheme.drawBackground =
        LibraryProcedure<DrawThemeBackgroundProc>(themeLibrary, "DrawThemeBackground");
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
    if (gTheme.contentRect &&
        SUCCEEDED(gTheme.contentRect(theme, dc, kEditText, kStateNormal, &proposed, &content))) {
        InflateRect(&content, -1, -1);
        FrameInsets insets = InsetsBetween(proposed, content);
        if (auto* stored = static_cast<FrameInsets*>(GetPropW(control, kClientRectProperty)))
            *stored = insets;
        params->rgrc[0] = content;
        computed = true;
    }
    ReleaseDC(parent, dc);
    gTheme.close(theme);
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
    if (gTheme.partiallyTransparent && gTheme.drawParentBackground &&
        gTheme.partiallyTransparent(theme, kEditText, kStateNormal))
        gTheme.drawParentBackground(control, dc, &border);
    if (gTheme.drawBackground)
        gTheme.drawBackground(theme, dc, kEditText, ThemedBorderState(control), &border, nullptr);
    gTheme.close(theme);
    ReleaseDC(control, dc);
}
