#include "ui/windows/gadget_hooks.h"

static GadgetHooks gHooks;

void SetGadgetHooks(const GadgetHooks* hooks) {
    gHooks = hooks ? *hooks : GadgetHooks{};
}

const GadgetHooks& CurrentGadgetHooks() {
    return gHooks;
}
