// Live sizing. The system's own sizing loop is modal: while it runs the
// application's wait gets nothing. Instead we take the mouse capture on
// SC_SIZE and move the window's edges ourselves on every mouse move.
#include "ui/windows/live_sizing.h"

#include <windowsx.h>

#include "runtime/threads.h"
#include "ui/windows/event_codes.h"

namespace {

int32_t gStateOffset = -1;

bool Is(int32_t edge, int32_t a, int32_t b, int32_t c) {
    return edge == a || edge == b || edge == c;
}

// Keeps the span between low and high within [minimum, maximum], moving the
// side that is being dragged.
void ClampLow(LONG* low, LONG high, LONG minimum, LONG maximum) {
    if (high - *low < minimum)
        *low = high - minimum;
    else if (high - *low > maximum)
        *low = high - maximum;
}
void ClampHigh(LONG low, LONG* high, LONG minimum, LONG maximum) {
    if (*high - low < minimum)
        *high = low + minimum;
    else if (*high - low > maximum)
        *high = low + maximum;
}

void ShowSystemCursor(WORD id) {
    SetCursor(static_cast<HCURSOR>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE)));
}

// Applies the point, lets the window adjust the rectangle, and moves it
// there; the move and size messages that follow become events.
void SizeTo(HWND window, SizingState* state, POINT point) {
    ApplySizingPoint(&state->rectangle, state->edge, point, state->limits.ptMinTrackSize,
                     state->limits.ptMaxTrackSize);
    SendMessageW(window, WM_SIZING, static_cast<WPARAM>(state->edge),
                 reinterpret_cast<LPARAM>(&state->rectangle));
    RECT place = state->rectangle;
    if (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&place), 2);
    MoveWindow(window, place.left, place.top, place.right - place.left, place.bottom - place.top,
               TRUE);
}

MessageResult BeginSizing(HWND window, SizingState* state, int32_t edge) {
    state->edge = edge;
    GetWindowRect(window, &state->rectangle);

    MINMAXINFO& limits = state->limits;
    limits = MINMAXINFO{};
    limits.ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (style & WS_BORDER)
        limits.ptMaxPosition = {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
    else if (exStyle & WS_EX_WINDOWEDGE)
        limits.ptMaxPosition = {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
    limits.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    limits.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));

    SetCapture(window);
    // Active only once we hold the capture: taking it from another of our
    // windows sends that window WM_CAPTURECHANGED, which must not end us.
    state->active = 1;
    PostMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
    if (edge == SIZING_NO_EDGE) {
        // Sizing chosen from the system menu: the keys choose the edge.
        state->restoreCursor = 1;
        GetCursorPos(&state->savedCursor);
        ShowSystemCursor(32646); // IDC_SIZEALL
    } else {
        state->restoreCursor = 0;
    }
    return Handled(0); // the system's modal loop does not start
}

// "Choose" puts the cursor on an edge and selects it; "step" moves the
// chosen edge by 10 pixels.
void ArrowKey(HWND window, SizingState* state, WPARAM key) {
    POINT cursor;
    GetCursorPos(&cursor);
    const RECT& r = state->rectangle;
    const int32_t edge = state->edge;
    auto choose = [&](LONG x, LONG y, int32_t newEdge, WORD cursorId) {
        SetCursorPos(x, y);
        ShowSystemCursor(cursorId);
        state->edge = newEdge;
    };
    auto step = [&](LONG x, LONG y) {
        SetCursorPos(x, y);
        SizeTo(window, state, POINT{x, y});
    };
    switch (key) {
    case VK_LEFT:
        if (edge == SIZING_NO_EDGE)
            choose(r.left, cursor.y, SIZING_LEFT, 32644);
        else if (edge == SIZING_TOP)
            choose(r.left + 2, r.top + 2, SIZING_TOP_LEFT, 32642);
        else if (edge == SIZING_BOTTOM)
            choose(r.left, r.bottom - 2, SIZING_BOTTOM_LEFT, 32643);
        else
            step(cursor.x - 10, cursor.y);
        break;
    case VK_UP:
        if (edge == SIZING_NO_EDGE)
            choose(cursor.x, r.top, SIZING_TOP, 32645);
        else if (edge == SIZING_LEFT)
            choose(r.left + 2, r.top + 2, SIZING_TOP_LEFT, 32642);
        else if (edge == SIZING_RIGHT)
            choose(r.right - 2, r.top, SIZING_TOP_RIGHT, 32643);
        else
            step(cursor.x, cursor.y - 10);
        break;
    case VK_RIGHT:
        if (edge == SIZING_NO_EDGE)
            choose(r.right - 2, cursor.y, SIZING_RIGHT, 32644);
        else if (edge == SIZING_TOP)
            choose(r.right - 2, r.top, SIZING_TOP_RIGHT, 32643);
        else if (edge == SIZING_BOTTOM)
            choose(r.right - 2, r.bottom - 2, SIZING_BOTTOM_RIGHT, 32642);
        else
            step(cursor.x + 10, cursor.y);
        break;
    case VK_DOWN:
        if (edge == SIZING_NO_EDGE)
            choose(cursor.x, r.bottom - 2, SIZING_BOTTOM, 32645);
        else if (edge == SIZING_LEFT)
            choose(r.left, r.bottom - 2, SIZING_BOTTOM_LEFT, 32643);
        else if (edge == SIZING_RIGHT)
            choose(r.right - 2, r.bottom - 2, SIZING_BOTTOM_RIGHT, 32642);
        else
            step(cursor.x, cursor.y + 10);
        break;
    }
}

bool FullWindowDragging() {
    BOOL on = FALSE;
    SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &on, 0);
    return on != FALSE;
}

} // namespace

void LiveSizingInit() {
    if (gStateOffset < 0)
        gStateOffset = RegisterThreadVariable(sizeof(SizingState), nullptr, nullptr);
}

SizingState* ThreadSizingState() {
    if (gStateOffset < 0) return nullptr;
    return static_cast<SizingState*>(ThreadVariable(gStateOffset));
}

void ApplySizingPoint(RECT* r, int32_t edge, POINT point, POINT minimum, POINT maximum) {
    if (Is(edge, SIZING_LEFT, SIZING_TOP_LEFT, SIZING_BOTTOM_LEFT)) {
        r->left = edge == SIZING_TOP_LEFT ? point.x - 2 : point.x;
        ClampLow(&r->left, r->right, minimum.x, maximum.x);
    }
    if (Is(edge, SIZING_RIGHT, SIZING_TOP_RIGHT, SIZING_BOTTOM_RIGHT)) {
        r->right = point.x + 2;
        ClampHigh(r->left, &r->right, minimum.x, maximum.x);
    }
    if (Is(edge, SIZING_TOP, SIZING_TOP_LEFT, SIZING_TOP_RIGHT)) {
        r->top = edge == SIZING_TOP_LEFT ? point.y - 2 : point.y;
        ClampLow(&r->top, r->bottom, minimum.y, maximum.y);
    }
    if (Is(edge, SIZING_BOTTOM, SIZING_BOTTOM_LEFT, SIZING_BOTTOM_RIGHT)) {
        r->bottom = point.y + 2;
        ClampHigh(r->top, &r->bottom, minimum.y, maximum.y);
    }
}

MessageResult LiveSizing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SizingState* state = ThreadSizingState();
    if (!state) return NotHandled;
    if (!state->active) {
        if (message != WM_SYSCOMMAND || (wParam & 0xFFF0) != SC_SIZE) return NotHandled;
        // With outline dragging the system's own loop runs.
        if (!FullWindowDragging()) return NotHandled;
        return BeginSizing(window, state, static_cast<int32_t>(wParam & 0xF));
    }
    switch (message) {
    case WM_MOUSEMOVE: {
        state->restoreCursor = 0;
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(window, &point);
        SizeTo(window, state, point);
        return Handled(0);
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            ReleaseCapture(); // Escape keeps the size reached, like Enter
            return Handled(0);
        }
        if (wParam >= VK_LEFT && wParam <= VK_DOWN) ArrowKey(window, state, wParam);
        return NotHandled;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return Handled(0);
    case WM_CAPTURECHANGED:
        PostMessageW(window, WM_EXITSIZEMOVE, 0, 0);
        state->active = 0;
        if (state->restoreCursor) SetCursorPos(state->savedCursor.x, state->savedCursor.y);
        return Handled(0);
    default:
        return NotHandled;
    }
}
