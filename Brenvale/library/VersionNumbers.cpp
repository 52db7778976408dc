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
