#pragma once
// The gadget library: numbered controls in program windows. One header for
// the program: start and end routines, the four kinds' creation commands and
// the common commands.
#include "ui/gadgets/button_gadget.h"
#include "ui/gadgets/editor_gadget.h"
#include "ui/gadgets/gadget_commands.h"
#include "ui/gadgets/gadget_registry.h"
#include "ui/gadgets/gadget_store.h"
#include "ui/gadgets/gadget_text.h"
#include "ui/gadgets/string_gadget.h"
#include "ui/gadgets/text_gadget.h"
