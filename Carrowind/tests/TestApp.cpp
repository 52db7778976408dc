// The device wizard's application object for the test programs (not started: its services only).
#include "CarrowindApp.h"

namespace {
CWizardApp g_testApp;
}
