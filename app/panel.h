#pragma once
// The control panel of window 0: fourteen gadgets and their two states.
#include <cstdint>

#include "runtime/object_registry.h"

constexpr ObjectNumber MainWindow = 0;

constexpr ObjectNumber LabelIp = 1;
constexpr ObjectNumber FieldIp = 2;
constexpr ObjectNumber LabelPort = 3;
constexpr ObjectNumber FieldPort = 4;
constexpr ObjectNumber ButtonStart = 5;
constexpr ObjectNumber ButtonStop = 6;
constexpr ObjectNumber FieldMessage = 7;
constexpr ObjectNumber ButtonSend = 8;
constexpr ObjectNumber LabelReceived = 9;
constexpr ObjectNumber LabelMessage = 10;
constexpr ObjectNumber BoxReceived = 11;
constexpr ObjectNumber LabelCodes = 12;
constexpr ObjectNumber FieldCode1 = 13;
constexpr ObjectNumber FieldCode2 = 14;

// Creates the fourteen gadgets in the current gadget list, idle: Stop hidden
// and Send disabled right after each is created.
void CreatePanel();

// Running (any non-zero value): Start hidden, Stop shown, address and port
// greyed out, Send usable. Idle: the reverse. Returns 0.
int32_t SetRunningUi(int32_t running);
