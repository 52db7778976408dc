// The stand-in's automation objects: thin views of the model by number, so that an object a
// client still holds after a change answers from the current state (a deleted one with
// ITUNES_E_OBJECTDELETED).
#pragma once

#include "Dispatch.h"
#include "Object.h"
#include "iTunesInterfaces.h"

namespace itunes {

inline constexpr HRESULT ITUNES_E_OBJECTDELETED = static_cast<HRESULT>(0xA0040202);

// The class factory's creation of the application object (a failure the fixture injects
// comes back instead).
HRESULT CreateApplication(IUnknown* outer, REFIID iid, void** object);

}  // namespace itunes
