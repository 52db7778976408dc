// Version texts of the form "a.b.c.d", as the installed program and the update service give them.
#pragma once

#include "afx.h"

// TRUE only for exactly four "."-separated numbers (each read as the C library reads an integer).
BOOL ParseVersionNumbers(const CString& text, int& a, int& b, int& c, int& d);

// The four numbers of a version text, most significant first.
struct VersionNumbers {
    int part[4] = {};
};
BOOL ParseVersionNumbers(const CString& text, VersionNumbers& version);
// -1, 0 or 1: the first count numbers (1 to 4) compared one after another, each as the number
// it is (3.6.0.120 is below 3.6.1.0).
int CompareVersionNumbers(const VersionNumbers& a, const VersionNumbers& b, int count = 4);
