// The CD wizard's application object for the test programs (not started: its services only).
#include "CdWizardApp.h"

namespace {
CCdWizardApp g_testApp;
}
