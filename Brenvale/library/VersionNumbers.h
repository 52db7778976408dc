// Version texts of the form "a.b.c.d", as the installed program and the update service give them.
#pragma once

#include "afx.h"

// TRUE only for exactly four "."-separated numbers (each read as the C library reads an integer).
BOOL ParseVersionNumbers(const CString& text, int& a, int& b, int& c, int& d);
