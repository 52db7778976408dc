// Message texts for the COM failure codes that worker threads report to the user.
#pragma once

#include "afx.h"

// Two built-in maps from the code text ("0x%.8X") to a one-sentence message: general COM,
// structured-storage and Win32 codes, and the codes of the device manager and of the iTunes
// automation interface. Filled by the constructor and never changed afterwards.
class CErrorTable {
public:
    CErrorTable();
    ~CErrorTable();
    CErrorTable(const CErrorTable&) = delete;
    CErrorTable& operator=(const CErrorTable&) = delete;

    // "Error 0x80070027: The disk is full." for a known code, "Error 0x12345678" otherwise.
    CString FormatErrorText(HRESULT code) const;

private:
    CMapStringToString m_general;
    CMapStringToString m_device;
};
