#include "StringArraySort.h"

#include <utility>

void SortStringArray(CStringArray& strings, BOOL ascending)
{
    const INT_PTR count = strings.GetSize();
    if (count < 2)
        return;
    // Passes over neighbours until one swaps nothing: a stable sort, as the lists are short.
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (INT_PTR i = 0; i + 1 < count; ++i) {
            const int order = strings.GetAt(i).CompareNoCase(strings.GetAt(i + 1));
            if (ascending ? order > 0 : order < 0) {
                std::swap(strings.ElementAt(i), strings.ElementAt(i + 1));
                swapped = true;
            }
        }
    }
}
