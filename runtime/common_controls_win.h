#pragma once
// The common-control classes that the start routines of the gadget library
// and of the message requester load: tab, hot-key, date, extended combo box
// and internet-address controls.

// InitCommonControlsEx with those classes; its result is not examined.
void LoadCommonControlClasses();
