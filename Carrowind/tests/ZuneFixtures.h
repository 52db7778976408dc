// What the wizard's Zune tests share: the Zune software's version in the registry and a Zune in
// the USB device list that the device search reads.
#pragma once

#include "TestSupport.h"

namespace wizardtest {

// "CurrentVersion" of the installed Zune software; null removes it.
void SetZuneSoftware(const wchar_t* version);
// Names "lists.ini" in the folder to the device lists' stand-in, with one USB device described
// "Zune"; ForgetUsbZune names none again.
void UseUsbZune(const testsupport::ScratchFolder& folder);
void ForgetUsbZune();
// The Zune device server loaded and registered once for the test program.
void LoadZuneServer();

}  // namespace wizardtest
