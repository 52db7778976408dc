// Sorting a string array in place without regard to case (the bookmark list uses it).
#pragma once

#include "Collections.h"

// Ascending or descending; strings equal but for case keep their order.
void SortStringArray(CStringArray& strings, BOOL ascending);
