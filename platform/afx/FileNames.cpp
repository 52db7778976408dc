#include "FileNames.h"

#include <cwchar>

namespace {

// The names Windows gives to devices in every folder: "CON", "NUL.txt" or "com1.wma" open
// a device, not a file. The name is compared up to its first dot, without the blanks
// before that dot, in any case.
bool IsDeviceName(const CString& name, int& baseLength)
{
    const int dot = name.Find(L'.');
    CString base = dot < 0 ? name : name.Left(dot);
    base.TrimRight(L' ');
    baseLength = base.GetLength();
    if (baseLength == 3)
        return base.CompareNoCase(L"CON") == 0 || base.CompareNoCase(L"PRN") == 0 ||
               base.CompareNoCase(L"AUX") == 0 || base.CompareNoCase(L"NUL") == 0;
    if (baseLength != 4 || !(base.Left(3).CompareNoCase(L"COM") == 0 || base.Left(3).CompareNoCase(L"LPT") == 0))
        return false;
    // COM0 to COM9 and LPT0 to LPT9, and the superscript digits Windows also reads as ports.
    const wchar_t digit = base[3];
    return (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
}

}  // namespace

CString SafeFileNameComponent(const CString& name)
{
    CString safe(name);
    for (int i = 0; i < safe.GetLength(); ++i) {
        const wchar_t ch = safe[i];
        if (ch < 0x20 || std::wcschr(L"\\/:*?\"<>|", ch))
            safe.SetAt(i, L'_');
    }
    // Windows drops trailing dots and blanks from a name, so "a." would be the file "a".
    safe.TrimRight(L". ");
    if (safe.IsEmpty())
        return CString(L"_");
    int baseLength = 0;
    if (IsDeviceName(safe, baseLength))
        safe.Insert(baseLength, L'_');
    return safe;
}
