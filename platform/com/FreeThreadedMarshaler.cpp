#include "FreeThreadedMarshaler.h"

#include <utility>

namespace com {

HRESULT FreeThreadedMarshaler::Create(IUnknown* controlling)
{
    Reset();
    if (!controlling)
        return E_POINTER;
    return CoCreateFreeThreadedMarshaler(controlling, &m_inner);
}

void FreeThreadedMarshaler::Reset()
{
    if (IUnknown* inner = std::exchange(m_inner, nullptr))
        inner->Release();
}

HRESULT FreeThreadedMarshaler::Query(REFIID iid, void** result) const
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    return m_inner ? m_inner->QueryInterface(iid, result) : E_NOINTERFACE;
}

}  // namespace com
