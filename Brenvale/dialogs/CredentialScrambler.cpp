#include "CredentialScrambler.h"

#include "WinApp.h"

#include <climits>
#include <cstdlib>

namespace {

constexpr wchar_t kOuterLowest = L':';  // fillers A and B hold no digit
constexpr wchar_t kInnerLowest = L'!';
constexpr wchar_t kHighest = L'~';
constexpr int kLengthFactor = 13;

int Draw(const CCredentialScrambler::RandomSource& random, int lowest, int highest)
{
    return lowest + random() % (highest - lowest + 1);
}

}  // namespace

CString CCredentialScrambler::MakeFillerText(int minimum, int maximum, wchar_t lowest, wchar_t highest,
                                             const RandomSource& random)
{
    const int length = Draw(random, minimum, maximum);
    CString text;
    for (int i = 0; i < length; ++i)
        text += static_cast<wchar_t>(Draw(random, lowest, highest));
    return text;
}

void CCredentialScrambler::SkipCharRange(CString& text, wchar_t lowest, wchar_t highest)
{
    int count = 0;
    while (count < text.GetLength() && text[count] >= lowest && text[count] <= highest)
        ++count;
    text.Delete(0, count);
}

int CCredentialScrambler::ReadLeadingNumber(CString& text, int maxDigits)
{
    long long number = 0;
    int count = 0;
    while (count < maxDigits && count < text.GetLength() && text[count] >= L'0' && text[count] <= L'9') {
        number = number * 10 + (text[count] - L'0');
        ++count;
    }
    text.Delete(0, count);
    return number > INT_MAX ? -1 : static_cast<int>(number);
}

CString CCredentialScrambler::Scramble(const CString& value, const RandomSource& random)
{
    CString stored = MakeFillerText(20, 40, kOuterLowest, kHighest, random);
    stored.AppendFormat(L"%d", value.GetLength() * kLengthFactor);
    stored += MakeFillerText(20, 40, kOuterLowest, kHighest, random);
    for (int i = 0; i < value.GetLength(); ++i) {
        const int k = random() % 8 + 2;
        stored += static_cast<wchar_t>(L'0' + k);
        stored += MakeFillerText(3 * k, 3 * k, kInnerLowest, kHighest, random);
        stored += value[i];
        stored += MakeFillerText(k, k, kInnerLowest, kHighest, random);
    }
    stored += MakeFillerText(10, 20, kInnerLowest, kHighest, random);
    return stored;
}

BOOL CCredentialScrambler::Unscramble(const CString& stored, CString& value)
{
    CString text = stored;
    SkipCharRange(text, kOuterLowest, kHighest);
    if (text.IsEmpty())
        return FALSE;
    const int number = ReadLeadingNumber(text, 10);
    const int length = number / kLengthFactor;
    if (number < 0 || length == 0 || text.IsEmpty())
        return FALSE;
    SkipCharRange(text, kOuterLowest, kHighest);
    if (text.IsEmpty())
        return FALSE;
    // Each character needs at least 9 stored ones: a longer claim is damage, not a value.
    if (length > text.GetLength() / 9)
        return FALSE;
    CString result;
    for (int i = 0; i < length; ++i) {
        const int k = ReadLeadingNumber(text, 1);
        if (k < 2 || k > 9 || text.GetLength() <= 3 * k)
            return FALSE;
        text.Delete(0, 3 * k);
        result += text[0];
        text.Delete(0, 1);
        if (text.GetLength() <= k)
            return FALSE;
        text.Delete(0, k);
    }
    SkipCharRange(text, kInnerLowest, kHighest);
    if (!text.IsEmpty())
        return FALSE;
    value = result;
    return TRUE;
}

BOOL CCredentialScrambler::ScrambleCredential(const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    srand(GetTickCount());
    const CString stored = Scramble(value, [] { return rand(); });
    CWinApp* app = AfxGetApp();
    return app ? app->WriteProfileString(section, key, stored) : FALSE;
}

CString CCredentialScrambler::UnscrambleCredential(const wchar_t* section, const wchar_t* key,
                                                   const wchar_t* defaultValue)
{
    CString value = defaultValue;
    CWinApp* app = AfxGetApp();
    if (!app)
        return value;
    const CString stored = app->GetProfileString(section, key);
    if (!stored.IsEmpty())
        Unscramble(stored, value);
    return value;
}
