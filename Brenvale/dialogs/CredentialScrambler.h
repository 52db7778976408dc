// The stored form of the proxy password: the value's characters hidden among random
// filler, in the layout other installations read:
//   filler A (20-40 of ':'..'~'), 13 x length in decimal, filler B (20-40 of ':'..'~'),
//   for each character: a digit k (2-9), 3k of '!'..'~', the character, k of '!'..'~',
//   filler C (10-20 of '!'..'~').
// This hides the password from a casual look at the registry; it protects nothing.
#pragma once

#include "afx.h"

#include <functional>

class CCredentialScrambler {
public:
    // A source of random numbers 0..RAND_MAX (rand by default; tests give a fixed one).
    using RandomSource = std::function<int()>;

    // Stores the scrambled value as the string value key of the program's settings
    // section; the result of the settings write.
    BOOL ScrambleCredential(const wchar_t* section, const wchar_t* key, const wchar_t* value);
    // The value read back; the default (empty when null) for a missing, empty or
    // malformed stored text.
    CString UnscrambleCredential(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue = nullptr);

    // The two directions on texts alone.
    static CString Scramble(const CString& value, const RandomSource& random);
    // FALSE for a text that is not a scrambled value (value untouched then).
    static BOOL Unscramble(const CString& stored, CString& value);

    // minimum..maximum characters, each lowest..highest.
    static CString MakeFillerText(int minimum, int maximum, wchar_t lowest, wchar_t highest, const RandomSource& random);
    // Removes the leading characters whose codes lie in lowest..highest.
    static void SkipCharRange(CString& text, wchar_t lowest, wchar_t highest);
    // Removes up to maxDigits leading decimal digits and returns their value (0 for none);
    // -1 when the number would not fit an int (a damaged value).
    static int ReadLeadingNumber(CString& text, int maxDigits);
};
