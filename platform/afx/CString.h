// CString: the class library's UTF-16 text type.
// A value type over std::wstring with the operations the suite uses. Positions and
// lengths are character counts (int); out-of-range arguments are clamped, never UB.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(const wchar_t* text) : m_s(text ? text : L"") {}
    CString(const wchar_t* text, int length);
    CString(wchar_t ch, int repeat = 1) : m_s(repeat > 0 ? static_cast<size_t>(repeat) : 0, ch) {}
    CString(std::wstring_view text) : m_s(text) {}
    CString(std::wstring text) : m_s(std::move(text)) {}
    // Narrow text is taken as the system (ANSI) code page, as the class library does.
    explicit CString(const char* text);

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const wchar_t* text) { m_s = text ? text : L""; return *this; }
    CString& operator=(wchar_t ch) { m_s.assign(1, ch); return *this; }

    // Access
    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    wchar_t GetAt(int index) const;
    void SetAt(int index, wchar_t ch);
    wchar_t operator[](int index) const { return GetAt(index); }
    operator const wchar_t*() const { return m_s.c_str(); }
    const wchar_t* GetString() const { return m_s.c_str(); }
    const std::wstring& str() const { return m_s; }
    std::wstring& str() { return m_s; }

    // Direct buffer access: GetBuffer(n) gives room for n characters plus a terminator;
    // ReleaseBuffer(-1) takes the length from the terminator.
    wchar_t* GetBuffer(int minLength = 0);
    wchar_t* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    // Concatenation
    CString& operator+=(const CString& other) { m_s += other.m_s; return *this; }
    CString& operator+=(const wchar_t* text) { if (text) m_s += text; return *this; }
    CString& operator+=(wchar_t ch) { m_s += ch; return *this; }
    void Append(const wchar_t* text, int length);
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
    friend CString operator+(const CString& a, const wchar_t* b) { CString r(a); r += b; return r; }
    friend CString operator+(const wchar_t* a, const CString& b) { CString r(a); r += b; return r; }
    friend CString operator+(const CString& a, wchar_t b) { CString r(a); r += b; return r; }
    friend CString operator+(wchar_t a, const CString& b) { CString r(a); r += b; return r; }

    // Comparison
    int Compare(const wchar_t* other) const;
    int CompareNoCase(const wchar_t* other) const;
    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
    friend bool operator==(const wchar_t* a, const CString& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator!=(const wchar_t* a, const CString& b) { return !(b == a); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_s < b.m_s; }

    // Extraction
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;
    CString SpanIncluding(const wchar_t* set) const;
    CString SpanExcluding(const wchar_t* set) const;
    CString Tokenize(const wchar_t* delimiters, int& start) const;

    // Searching: -1 when not found.
    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* sub, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    int FindOneOf(const wchar_t* set) const;

    // Changing
    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();
    CString& Trim();
    CString& Trim(wchar_t ch);
    CString& Trim(const wchar_t* set);
    CString& TrimLeft();
    CString& TrimLeft(wchar_t ch);
    CString& TrimLeft(const wchar_t* set);
    CString& TrimRight();
    CString& TrimRight(wchar_t ch);
    CString& TrimRight(const wchar_t* set);
    int Replace(wchar_t oldCh, wchar_t newCh);
    int Replace(const wchar_t* oldText, const wchar_t* newText);
    int Remove(wchar_t ch);
    int Insert(int index, wchar_t ch);
    int Insert(int index, const wchar_t* text);
    int Delete(int index, int count = 1);
    void Truncate(int length);

    // Formatting with the class library's rules (%s is wide text, %S narrow).
    void Format(const wchar_t* format, ...);
    void Format(UINT formatId, ...);
    void FormatV(const wchar_t* format, va_list args);
    void AppendFormat(const wchar_t* format, ...);

    // Loads a text from the string table of the resource module (AfxGetResourceHandle).
    BOOL LoadString(UINT id);
    BOOL LoadString(HINSTANCE module, UINT id);

    // Conversion to narrow text in a code page (CP_ACP by default); empty when the conversion
    // fails (TextConversion.h has the forms that say so, and the other conversions).
    std::string ToNarrow(UINT codePage = CP_ACP) const;
    static CString FromNarrow(const char* text, int length, UINT codePage = CP_ACP);

private:
    std::wstring m_s;
};

// White space as the class library trims it.
bool AfxIsSpace(wchar_t ch);

// Convenience: a string-table text (empty when the id is missing).
CString AfxLoadString(UINT id);
// Formats a string-table text with the arguments given.
CString AfxFormatString(UINT formatId, ...);

template <>
struct std::hash<CString> {
    size_t operator()(const CString& s) const noexcept { return std::hash<std::wstring>()(s.str()); }
};
