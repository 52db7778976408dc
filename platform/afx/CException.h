// Exceptions of the class library. They are thrown by value and caught by reference:
//     try { ... } catch (const CArchiveException& e) { ... e.GetErrorMessage() ... }
#pragma once

#include "CString.h"

class CException {
public:
    virtual ~CException() = default;
    // The text shown to the user for this failure.
    virtual CString GetErrorMessage() const { return CString(L"An unknown error has occurred."); }
    // The class library's buffer form; FALSE when there is no text.
    BOOL GetErrorMessage(wchar_t* buffer, UINT size, UINT* helpContext = nullptr) const;
    // Shows the text through the message-box funnel.
    int ReportError(UINT type = MB_OK, UINT messageId = 0) const;
};

// Thrown to end an operation quietly after the user has already been told.
class CUserException : public CException {};

// A memory allocation that cannot be satisfied.
class CMemoryException : public CException {
public:
    CString GetErrorMessage() const override { return CString(L"Out of memory."); }
};

// An operation that is not supported by the object.
class CNotSupportedException : public CException {
public:
    CString GetErrorMessage() const override { return CString(L"An unsupported operation was attempted."); }
};

// A failure carrying an OLE result code.
class COleException : public CException {
public:
    explicit COleException(HRESULT sc) : m_sc(sc) {}
    CString GetErrorMessage() const override;
    HRESULT m_sc;
};

[[noreturn]] void AfxThrowUserException();
[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowNotSupportedException();
[[noreturn]] void AfxThrowOleException(HRESULT sc);

// The system's message text for a Win32 or HRESULT code (empty when it has none).
CString AfxSystemErrorText(DWORD code);
