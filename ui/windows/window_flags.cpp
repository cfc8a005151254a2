#include "ui/windows/window_flags.h"

#include "ui/windows/window.h"

WindowStyles TranslateWindowFlags(uint32_t flags) {
    WindowStyles styles{};
    styles.screenCentred = flags & WINDOW_SCREEN_CENTRED;
    styles.parentCentred = flags & WINDOW_PARENT_CENTRED;
    // The order matters: the caption test looks at the flags without the
    // gadget-list bit but with the tool bit.
    styles.noGadgetList = flags & WINDOW_NO_GADGET_LIST;
    flags &= ~WINDOW_NO_GADGET_LIST;
    if ((flags & ~(WINDOW_INVISIBLE | WINDOW_PARENT_CENTRED | WINDOW_SCREEN_CENTRED)) == 0)
        flags |= WS_CAPTION;
    styles.invisible = flags & WINDOW_INVISIBLE;
    flags &= ~WINDOW_INVISIBLE;
    if (flags & WINDOW_TOOL) {
        styles.exStyle = WS_EX_TOOLWINDOW;
        flags &= ~(WS_MINIMIZE | WS_MAXIMIZE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX); // 0xDEFCFFFF
        flags |= WS_CAPTION;
    }
    styles.style = flags & ~(WINDOW_SCREEN_CENTRED | WINDOW_PARENT_CENTRED | WINDOW_TOOL);
    return styles;
}
