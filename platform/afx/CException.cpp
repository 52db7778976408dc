#include "CException.h"

#include "AfxMessageBox.h"

#include <cwchar>

BOOL CException::GetErrorMessage(wchar_t* buffer, UINT size, UINT* helpContext) const
{
    if (helpContext)
        *helpContext = 0;
    if (!buffer || size == 0)
        return FALSE;
    const CString text = GetErrorMessage();
    lstrcpynW(buffer, text, static_cast<int>(size));
    return text.IsEmpty() ? FALSE : TRUE;
}

int CException::ReportError(UINT type, UINT messageId) const
{
    CString text = GetErrorMessage();
    if (text.IsEmpty() && messageId)
        text.LoadString(messageId);
    return AfxMessageBox(text, type);
}

CString COleException::GetErrorMessage() const
{
    CString text = AfxSystemErrorText(static_cast<DWORD>(m_sc));
    if (text.IsEmpty())
        text.Format(L"OLE error 0x%.8X.", static_cast<unsigned>(m_sc));
    return text;
}

void AfxThrowUserException() { throw CUserException(); }
void AfxThrowMemoryException() { throw CMemoryException(); }
void AfxThrowNotSupportedException() { throw CNotSupportedException(); }
void AfxThrowOleException(HRESULT sc) { throw COleException(sc); }

CString AfxSystemErrorText(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    CString result;
    if (length && text)
        result = CString(text, static_cast<int>(length)).Trim();
    if (text)
        LocalFree(text);
    return result;
}
