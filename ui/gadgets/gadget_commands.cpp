#include "ui/gadgets/gadget_commands.h"

#include "ui/gadgets/gadget_store.h"

void GadgetHide(ObjectNumber number, int32_t state) {
    GadgetRecord* record = FindGadget(number);
    if (!record) return;
    if (record->kind->hide) {
        record->kind->hide(record, state);
        return;
    }
    ShowWindow(record->handle, state ? SW_HIDE : SW_SHOW);
}

void GadgetDisable(ObjectNumber number, int32_t state) {
    GadgetRecord* record = FindGadget(number);
    if (!record) return;
    EnableWindow(record->handle, state ? FALSE : TRUE);
}
