// The CD wizard's registry values under the current user's "SOFTWARE\Vesperlin, Inc.\Emberquay":
// the recorder chosen last and the write speed (KB per second; 0 or missing: the fastest).
// A value that cannot be read counts as empty or 0; failures to write are silent.
#pragma once

#include "afx.h"

CString ReadLastSelectedDevice();
void WriteLastSelectedDevice(const CString& name);
ULONG ReadWriteSpeed();
void WriteWriteSpeed(ULONG speed);
