#include "ui/gadgets/gadget_list.h"

#include "runtime/program_heap.h"
#include "runtime/threads.h"
#include "ui/windows/window.h"

namespace {

constexpr int32_t kStackEntries = 10;

int32_t gStateOffset = -1;
HFONT gDefaultFont;

HWND* NewStack() {
    return static_cast<HWND*>(ProgramHeapAllocate(sizeof(HWND) * kStackEntries));
}

void ConstructState(void* variable) {
    auto* state = static_cast<GadgetListState*>(variable);
    state->font = gDefaultFont;
    state->stack = NewStack();
    state->capacity = state->stack ? kStackEntries : 0;
}

// Runs after the thread has ended.
void DestroyState(void* variable) {
    auto* state = static_cast<GadgetListState*>(variable);
    ProgramHeapFree(state->stack);
    state->stack = nullptr;
}

} // namespace

void GadgetListInit(HFONT defaultFont) {
    gDefaultFont = defaultFont;
    if (gStateOffset < 0)
        gStateOffset =
            RegisterThreadVariable(sizeof(GadgetListState), ConstructState, DestroyState);
}

GadgetListState* ThreadGadgetListState() {
    if (gStateOffset < 0) return nullptr;
    return static_cast<GadgetListState*>(ThreadVariable(gStateOffset));
}

HWND GadgetListOwner(const GadgetListState* state) {
    if (state->depth != 0 && state->stack) return state->stack[0];
    return state->currentList;
}

NumberedName GadgetListPropertyName() {
    return NumberedName(L"KX_GadgetStack_", reinterpret_cast<intptr_t>(ProgramInstance()));
}

GadgetListSave* GadgetListSaveOf(HWND window) {
    return static_cast<GadgetListSave*>(GetPropW(window, GadgetListPropertyName().get()));
}

HWND GadgetListUse(HWND window) {
    GadgetListState* state = ThreadGadgetListState();
    if (!state) return nullptr;
    HWND previous = GadgetListOwner(state);
    if (!window) return previous;

    // The current owner keeps its state until it is current again. Should its
    // save record be missing (made without memory), the stack stays here.
    if (previous) {
        if (GadgetListSave* save = GadgetListSaveOf(previous)) {
            save->savedList = state->currentList;
            save->savedStack = state->stack;
            save->savedDepth = state->depth;
            save->savedCapacity = state->capacity;
            state->stack = nullptr;
        }
    }

    if (GadgetListSave* save = GadgetListSaveOf(window)) {
        ProgramHeapFree(state->stack);
        state->currentList = save->savedList;
        state->stack = save->savedStack;
        state->depth = save->savedDepth;
        state->capacity = save->savedCapacity;
        save->savedStack = nullptr;
        return previous;
    }

    if (!state->stack) {
        state->stack = NewStack();
        state->capacity = state->stack ? kStackEntries : 0;
    }
    state->depth = 0;
    state->currentList = window;
    auto* save = static_cast<GadgetListSave*>(ProgramHeapAllocate(sizeof(GadgetListSave)));
    if (save) {
        save->window = window;
        SetPropW(window, GadgetListPropertyName().get(), save);
        save->previousProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetListProc)));
    }
    return previous;
}

LRESULT CALLBACK GadgetListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    GadgetListSave* save = GadgetListSaveOf(window);
    if (!save) return DefWindowProcW(window, message, wParam, lParam);
    WNDPROC previous = save->previousProcedure;
    if (message == WM_NCDESTROY) {
        GadgetListState* state = ThreadGadgetListState();
        if (state && GadgetListOwner(state) == window) {
            state->currentList = nullptr;
            state->depth = 0;
        }
        ProgramHeapFree(save->savedStack);
        ProgramHeapFree(save);
        RemovePropW(window, GadgetListPropertyName().get());
    }
    if (!previous) return DefWindowProcW(window, message, wParam, lParam);
    return CallWindowProcW(previous, window, message, wParam, lParam);
}
