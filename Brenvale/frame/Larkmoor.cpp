// The console program: its one application object and its entry point.
#include "BrenvaleApp.h"

namespace {
CBrenvaleApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return AfxWinMain(); }
