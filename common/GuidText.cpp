#include "GuidText.h"

#include <objbase.h>

CString NewGuidString(BOOL withBraces)
{
    GUID guid{};
    HRESULT hr = CoCreateGuid(&guid);
    if (FAILED(hr))
        AfxThrowOleException(hr);
    CString text;
    text.Format(L"%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned long>(guid.Data1),
                static_cast<unsigned>(guid.Data2), static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1],
                guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    if (withBraces) {
        CString braced;
        braced.Format(L"{%s}", text.GetString());
        return braced;
    }
    return text;
}
