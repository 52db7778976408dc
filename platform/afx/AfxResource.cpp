#include "AfxResource.h"

namespace {
HINSTANCE g_resource = nullptr;
HINSTANCE g_instance = nullptr;
}  // namespace

HINSTANCE AfxGetInstanceHandle() { return g_instance ? g_instance : GetModuleHandleW(nullptr); }
void AfxSetInstanceHandle(HINSTANCE module) { g_instance = module; }
HINSTANCE AfxGetResourceHandle() { return g_resource ? g_resource : AfxGetInstanceHandle(); }
void AfxSetResourceHandle(HINSTANCE module) { g_resource = module; }
