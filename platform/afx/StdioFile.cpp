#include "StdioFile.h"

#include "TextConversion.h"

#include <algorithm>
#include <cstring>
#include <string>

IMPLEMENT_DYNAMIC(CStdioFile, CFile)

namespace {
constexpr size_t kReadChunk = 4096;
}  // namespace

CStdioFile::CStdioFile(const wchar_t* fileName, UINT openFlags)
{
    CFileException error;
    if (!Open(fileName, openFlags, &error))
        throw error;
}

BOOL CStdioFile::Open(const wchar_t* fileName, UINT openFlags, CFileException* error)
{
    DropReadBuffer();
    m_textMode = (openFlags & typeBinary) == 0;
    return CFile::Open(fileName, openFlags & ~static_cast<UINT>(typeText | typeBinary), error);
}

void CStdioFile::Close()
{
    DropReadBuffer();
    CFile::Close();
}

void CStdioFile::Abort()
{
    DropReadBuffer();
    CFile::Abort();
}

void CStdioFile::DropReadBuffer()
{
    m_readBuffer.clear();
    m_readPos = 0;
}

bool CStdioFile::FillReadBuffer()
{
    if (m_readPos < m_readBuffer.size())
        return true;
    m_readBuffer.resize(kReadChunk);
    const UINT got = CFile::Read(m_readBuffer.data(), static_cast<UINT>(kReadChunk));
    m_readBuffer.resize(got);
    m_readPos = 0;
    return got > 0;
}

bool CStdioFile::ReadByte(BYTE& byte)
{
    if (!FillReadBuffer())
        return false;
    byte = m_readBuffer[m_readPos++];
    return true;
}

UINT CStdioFile::Read(void* buffer, UINT count)
{
    UINT done = 0;
    auto* out = static_cast<BYTE*>(buffer);
    const size_t buffered = m_readBuffer.size() - m_readPos;
    if (buffered > 0) {
        done = static_cast<UINT>(std::min<size_t>(buffered, count));
        memcpy(out, m_readBuffer.data() + m_readPos, done);
        m_readPos += done;
    }
    if (done < count)
        done += CFile::Read(out + done, count - done);
    return done;
}

void CStdioFile::Write(const void* buffer, UINT count)
{
    if (m_readPos < m_readBuffer.size()) {
        // Bytes read ahead but not consumed: put the file position back first.
        const ULONGLONG position = GetPosition();
        DropReadBuffer();
        CFile::Seek(static_cast<LONGLONG>(position), begin);
    } else {
        DropReadBuffer();
    }
    CFile::Write(buffer, count);
}

ULONGLONG CStdioFile::Seek(LONGLONG offset, UINT from)
{
    if (from == current)
        offset -= static_cast<LONGLONG>(m_readBuffer.size() - m_readPos);
    DropReadBuffer();
    return CFile::Seek(offset, from);
}

ULONGLONG CStdioFile::GetPosition() const
{
    return CFile::GetPosition() - static_cast<ULONGLONG>(m_readBuffer.size() - m_readPos);
}

std::string CStdioFile::ToCodePage(const wchar_t* text, int length) const
{
    if (length <= 0)
        return std::string();
    bool converted = false;
    std::string bytes = AfxToMultiByte(text, length, m_codePage, {}, &converted);
    if (!converted)  // a text of characters never converts to nothing
        AfxThrowFileException(CFileException::genericException, static_cast<LONG>(GetLastError()), m_strFileName);
    return bytes;
}

void CStdioFile::WriteString(const wchar_t* text)
{
    if (!text)
        return;
    const int length = static_cast<int>(wcslen(text));
    if (!m_textMode) {
        Write(text, static_cast<UINT>(length * sizeof(wchar_t)));
        return;
    }
    std::wstring translated;
    translated.reserve(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        if (text[i] == L'\n')
            translated += L'\r';
        translated += text[i];
    }
    const std::string bytes = ToCodePage(translated.data(), static_cast<int>(translated.size()));
    Write(bytes.data(), static_cast<UINT>(bytes.size()));
}

BOOL CStdioFile::ReadString(CString& line)
{
    line.Empty();
    if (!m_textMode) {
        std::wstring units;
        bool any = false;
        BYTE low, high;
        while (ReadByte(low)) {
            if (!ReadByte(high))
                break;  // a lone last byte is not a character
            any = true;
            const wchar_t unit = static_cast<wchar_t>(low | (high << 8));
            if (unit == L'\n')
                break;
            units += unit;
        }
        line = CString(std::move(units));
        return any ? TRUE : FALSE;
    }
    std::string bytes;
    bool any = false;
    while (FillReadBuffer()) {
        const BYTE* start = m_readBuffer.data() + m_readPos;
        const size_t available = m_readBuffer.size() - m_readPos;
        const void* newline = memchr(start, '\n', available);
        const size_t take = newline ? static_cast<const BYTE*>(newline) - start : available;
        bytes.append(reinterpret_cast<const char*>(start), take);
        any = true;
        m_readPos += take;
        if (newline) {
            ++m_readPos;
            break;
        }
    }
    if (!bytes.empty() && bytes.back() == '\r')
        bytes.pop_back();
    line = CString::FromNarrow(bytes.data(), static_cast<int>(bytes.size()), m_codePage);
    return any ? TRUE : FALSE;
}
