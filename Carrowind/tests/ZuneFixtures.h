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

// The Zune device server registered in the prefix while this lives, for programs the test
// starts, and unregistered after. Tests that register the server take the CTest lock
// "zune_server", so that none loses it while it runs.
class ZuneServerRegistration {
public:
    // The server built in its own folder, or the module given (the program folder's).
    ZuneServerRegistration();
    explicit ZuneServerRegistration(const CString& module);
    ~ZuneServerRegistration();
    ZuneServerRegistration(const ZuneServerRegistration&) = delete;
    ZuneServerRegistration& operator=(const ZuneServerRegistration&) = delete;
    bool Registered() const { return m_registered; }

private:
    CString m_module;
    bool m_registered = false;
};

}  // namespace wizardtest
