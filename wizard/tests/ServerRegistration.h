// What both wizards' programs write when started with /RegServer, read back with wine reg query,
// and its removal by /UnregServer. Both serve the same progress class, so tests that register
// either program take the CTest lock "wizard_registry".
#pragma once

#include "afx.h"

namespace wizardtest {

// One wizard program as the build made it and the keys of its own that registration names.
struct WizardServer {
    CString program;         // full path of the built program
    const wchar_t* exeName;  // "Carrowind.exe": the key under AppID naming the program
    const wchar_t* appId;    // "{...}"
    const wchar_t* appName;  // what the AppID key's text holds
    const wchar_t* libId;    // "{...}" of the program's type library
    const wchar_t* libName;  // the type library's description
};

// Runs the program with /RegServer, checks the class, its ProgIDs, the AppID and the type
// library (and that nothing was shown), then /UnregServer and checks that exactly those keys
// are gone. Reports through GoogleTest assertions.
void ExpectRegistrationAndItsRemoval(const WizardServer& server);

}  // namespace wizardtest
