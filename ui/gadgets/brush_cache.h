#pragma once
// The brush cache: one solid brush per background colour, shared by every
// text and string gadget with that back colour and deleted when the last of
// them lets go. Guarded by the gadget lock, so any thread may use it.
#include <windows.h>

#include <cstdint>

// Creates the gadget lock (part of GadgetsInit); until then the cache hands
// out no brushes.
void BrushCacheInit();

// One more reference to the brush of a colour, made on first use. Null when
// no brush could be made (nothing is held then).
HBRUSH BrushAcquire(int32_t color);
// Lets go of one reference; the last one deletes the brush. A brush that the
// cache does not hold changes nothing.
void BrushRelease(HBRUSH brush);

// Entries held, and the references of one brush (0 when not held); for tests.
int32_t BrushCacheSize();
int32_t BrushReferences(HBRUSH brush);
