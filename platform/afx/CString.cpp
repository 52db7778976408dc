#include "CString.h"

#include "AfxResource.h"
#include "TextConversion.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

bool InSet(wchar_t ch, const wchar_t* set) { return set && std::wcschr(set, ch) != nullptr && ch != 0; }

}  // namespace

bool AfxIsSpace(wchar_t ch) { return ch == L' ' || (ch >= L'\t' && ch <= L'\r') || iswspace(ch); }

CString::CString(const wchar_t* text, int length)
{
    if (text && length > 0)
        m_s.assign(text, static_cast<size_t>(length));
}

CString::CString(const char* text)
{
    if (text)
        *this = FromNarrow(text, -1);
}

wchar_t CString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength())
        return 0;
    return m_s[static_cast<size_t>(index)];
}

void CString::SetAt(int index, wchar_t ch)
{
    if (index >= 0 && index < GetLength())
        m_s[static_cast<size_t>(index)] = ch;
}

wchar_t* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_s.resize(static_cast<size_t>(minLength));
    return m_s.data();
}

wchar_t* CString::GetBufferSetLength(int length)
{
    m_s.resize(static_cast<size_t>(std::max(0, length)));
    return m_s.data();
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0) {
        size_t end = m_s.find(L'\0');
        if (end != std::wstring::npos)
            m_s.resize(end);
    } else if (newLength <= GetLength()) {
        m_s.resize(static_cast<size_t>(newLength));
    }
}

void CString::Append(const wchar_t* text, int length)
{
    if (text && length > 0)
        m_s.append(text, static_cast<size_t>(length));
}

int CString::Compare(const wchar_t* other) const { return std::wcscmp(m_s.c_str(), other ? other : L""); }

int CString::CompareNoCase(const wchar_t* other) const
{
    return _wcsicmp(m_s.c_str(), other ? other : L"");
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const
{
    first = Clamp(first, 0, GetLength());
    count = Clamp(count, 0, GetLength() - first);
    return CString(m_s.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const
{
    count = Clamp(count, 0, GetLength());
    return Mid(GetLength() - count, count);
}

CString CString::SpanIncluding(const wchar_t* set) const
{
    int i = 0;
    while (i < GetLength() && InSet(m_s[static_cast<size_t>(i)], set))
        ++i;
    return Left(i);
}

CString CString::SpanExcluding(const wchar_t* set) const
{
    int i = 0;
    while (i < GetLength() && !InSet(m_s[static_cast<size_t>(i)], set))
        ++i;
    return Left(i);
}

CString CString::Tokenize(const wchar_t* delimiters, int& start) const
{
    if (start < 0 || start >= GetLength()) {
        start = -1;
        return CString();
    }
    int i = start;
    while (i < GetLength() && InSet(m_s[static_cast<size_t>(i)], delimiters))
        ++i;
    if (i >= GetLength()) {
        start = -1;
        return CString();
    }
    int end = i;
    while (end < GetLength() && !InSet(m_s[static_cast<size_t>(end)], delimiters))
        ++end;
    start = end + 1;
    return Mid(i, end - i);
}

int CString::Find(wchar_t ch, int start) const
{
    if (start < 0 || start >= GetLength())
        return -1;
    size_t at = m_s.find(ch, static_cast<size_t>(start));
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const wchar_t* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    if (!*sub)
        return start < GetLength() ? start : -1;
    size_t at = m_s.find(sub, static_cast<size_t>(start));
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(wchar_t ch) const
{
    size_t at = m_s.rfind(ch);
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(const wchar_t* set) const
{
    if (!set || !*set)
        return -1;
    size_t at = m_s.find_first_of(set);
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

CString& CString::MakeUpper()
{
    if (!m_s.empty())
        CharUpperBuffW(m_s.data(), static_cast<DWORD>(m_s.size()));
    return *this;
}

CString& CString::MakeLower()
{
    if (!m_s.empty())
        CharLowerBuffW(m_s.data(), static_cast<DWORD>(m_s.size()));
    return *this;
}

CString& CString::MakeReverse()
{
    std::reverse(m_s.begin(), m_s.end());
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(wchar_t ch) { return TrimRight(ch).TrimLeft(ch); }
CString& CString::Trim(const wchar_t* set) { return TrimRight(set).TrimLeft(set); }

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_s.size() && AfxIsSpace(m_s[i]))
        ++i;
    m_s.erase(0, i);
    return *this;
}

CString& CString::TrimLeft(wchar_t ch)
{
    size_t i = 0;
    while (i < m_s.size() && m_s[i] == ch)
        ++i;
    m_s.erase(0, i);
    return *this;
}

CString& CString::TrimLeft(const wchar_t* set)
{
    size_t i = 0;
    while (i < m_s.size() && InSet(m_s[i], set))
        ++i;
    m_s.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    size_t n = m_s.size();
    while (n > 0 && AfxIsSpace(m_s[n - 1]))
        --n;
    m_s.resize(n);
    return *this;
}

CString& CString::TrimRight(wchar_t ch)
{
    size_t n = m_s.size();
    while (n > 0 && m_s[n - 1] == ch)
        --n;
    m_s.resize(n);
    return *this;
}

CString& CString::TrimRight(const wchar_t* set)
{
    size_t n = m_s.size();
    while (n > 0 && InSet(m_s[n - 1], set))
        --n;
    m_s.resize(n);
    return *this;
}

int CString::Replace(wchar_t oldCh, wchar_t newCh)
{
    int count = 0;
    if (oldCh == newCh)
        return 0;
    for (auto& c : m_s)
        if (c == oldCh) {
            c = newCh;
            ++count;
        }
    return count;
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText)
{
    if (!oldText || !*oldText)
        return 0;
    const std::wstring_view from(oldText);
    const std::wstring_view to(newText ? newText : L"");
    size_t at = m_s.find(from);
    if (at == std::wstring::npos)
        return 0;
    // Build the result in one pass so replacements never rescan inserted text.
    std::wstring out;
    out.reserve(m_s.size());
    size_t last = 0;
    int count = 0;
    while (at != std::wstring::npos) {
        out.append(m_s, last, at - last);
        out.append(to);
        last = at + from.size();
        ++count;
        at = m_s.find(from, last);
    }
    out.append(m_s, last, std::wstring::npos);
    m_s.swap(out);
    return count;
}

int CString::Remove(wchar_t ch)
{
    const size_t before = m_s.size();
    m_s.erase(std::remove(m_s.begin(), m_s.end(), ch), m_s.end());
    return static_cast<int>(before - m_s.size());
}

int CString::Insert(int index, wchar_t ch)
{
    index = Clamp(index, 0, GetLength());
    m_s.insert(static_cast<size_t>(index), 1, ch);
    return GetLength();
}

int CString::Insert(int index, const wchar_t* text)
{
    index = Clamp(index, 0, GetLength());
    if (text)
        m_s.insert(static_cast<size_t>(index), text);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0)
        m_s.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

void CString::Truncate(int length)
{
    if (length >= 0 && length < GetLength())
        m_s.resize(static_cast<size_t>(length));
}

void CString::FormatV(const wchar_t* format, va_list args)
{
    if (!format) {
        m_s.clear();
        return;
    }
    va_list probe;
    va_copy(probe, args);
    const int needed = _vscwprintf(format, probe);
    va_end(probe);
    if (needed <= 0) {
        m_s.clear();
        return;
    }
    std::wstring out(static_cast<size_t>(needed) + 1, L'\0');
    const int written = _vsnwprintf(out.data(), out.size(), format, args);
    out.resize(written < 0 ? 0 : static_cast<size_t>(written));
    m_s.swap(out);
}

void CString::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::Format(UINT formatId, ...)
{
    CString format;
    format.LoadString(formatId);
    va_list args;
    va_start(args, formatId);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const wchar_t* format, ...)
{
    CString more;
    va_list args;
    va_start(args, format);
    more.FormatV(format, args);
    va_end(args);
    *this += more;
}

BOOL CString::LoadString(UINT id) { return LoadString(AfxGetResourceHandle(), id); }

BOOL CString::LoadString(HINSTANCE module, UINT id)
{
    // A zero buffer size makes LoadStringW hand back a read-only pointer to the resource.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module, id, reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || !text) {
        m_s.clear();
        return FALSE;
    }
    m_s.assign(text, static_cast<size_t>(length));
    return TRUE;
}

std::string CString::ToNarrow(UINT codePage) const { return AfxToMultiByte(m_s.data(), GetLength(), codePage); }

CString CString::FromNarrow(const char* text, int length, UINT codePage)
{
    return CString(AfxToWide(text, length, codePage));
}

CString AfxLoadString(UINT id)
{
    CString s;
    s.LoadString(id);
    return s;
}

CString AfxFormatString(UINT formatId, ...)
{
    CString format = AfxLoadString(formatId);
    CString out;
    va_list args;
    va_start(args, formatId);
    out.FormatV(format, args);
    va_end(args);
    return out;
}
