#include "VersionNumbers.h"

BOOL ParseVersionNumbers(const CString& text, int& a, int& b, int& c, int& d)
{
    int* outputs[4] = {&a, &b, &c, &d};
    int pieces = 0;
    int start = 0;
    for (;;) {
        const int dot = text.Find(L'.', start);
        const CString piece = dot < 0 ? text.Mid(start) : text.Mid(start, dot - start);
        if (pieces < 4)
            *outputs[pieces] = _wtoi(piece);
        ++pieces;
        if (dot < 0)
            break;
        start = dot + 1;
    }
    return pieces == 4;
}

BOOL ParseVersionNumbers(const CString& text, VersionNumbers& version)
{
    int* p = version.part;
    return ParseVersionNumbers(text, p[0], p[1], p[2], p[3]);
}

int CompareVersionNumbers(const VersionNumbers& a, const VersionNumbers& b, int count)
{
    for (int i = 0; i < count && i < 4; ++i) {
        if (a.part[i] != b.part[i])
            return a.part[i] < b.part[i] ? -1 : 1;
    }
    return 0;
}
