#include "app/panel.h"

#include "app/texts.h"
#include "runtime/timing_marks.h"
#include "ui/gadgets/gadgets.h"

void CreatePanel() {
    GadgetCreateText(LabelIp, 10, 10, 100, 20, kLabelIpText, 0);
    GadgetCreateString(FieldIp, 110, 10, 100, 20, kDefaultPeerAddress, 0);
    GadgetCreateText(LabelPort, 10, 40, 50, 20, kLabelPortText, TEXT_RIGHT);
    GadgetCreateString(FieldPort, 60, 40, 50, 20, kDefaultPort, STRING_NUMERIC);
    // Stop and Start share one place; only one of them is ever visible.
    GadgetCreateButton(ButtonStop, 220, 20, 50, 20, kStopText, 0);
    GadgetHide(ButtonStop, 1);
    GadgetCreateButton(ButtonStart, 220, 20, 70, 20, kStartText, 0);
    GadgetCreateText(LabelMessage, 10, 65, 150, 15, kLabelMessageText, TEXT_CENTER);
    GadgetCreateString(FieldMessage, 10, 80, 150, 20, "", 0);
    GadgetCreateText(LabelCodes, 165, 65, 60, 15, kLabelCodesText, TEXT_CENTER);
    GadgetCreateString(FieldCode1, 170, 80, 20, 20, kDefaultCode1, STRING_NUMERIC);
    GadgetCreateString(FieldCode2, 190, 80, 20, 20, kDefaultCode2, STRING_NUMERIC);
    GadgetCreateButton(ButtonSend, 220, 80, 70, 20, kSendText, 0);
    GadgetDisable(ButtonSend, 1);
    GadgetCreateText(LabelReceived, 10, 120, 280, 15, kLabelReceivedText, TEXT_CENTER);
    NoteTimingMark("controls"); // the bench's start-up profile: the rich-text box apart
    GadgetCreateEditor(BoxReceived, 10, 135, 280, 100, EDITOR_READ_ONLY);
}

int32_t SetRunningUi(int32_t running) {
    int32_t on = running != 0 ? 1 : 0;
    GadgetHide(ButtonStart, on);
    GadgetHide(ButtonStop, 1 - on);
    GadgetDisable(FieldIp, on);
    GadgetDisable(FieldPort, on);
    GadgetDisable(ButtonSend, 1 - on);
    return 0;
}
