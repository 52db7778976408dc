#include "Base64.h"

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

std::string Base64EncodeBytes(const BYTE* data, size_t size)
{
    std::string out;
    if (!data || size == 0)
        return out;
    const size_t chars = (size + 2) / 3 * 4;
    out.reserve(chars + chars / 76 * 2);
    // Lines of 76 characters, CR LF between them (none after the last line).
    size_t line = 0;
    auto put = [&](char c) {
        if (line == 76) {
            out += "\r\n";
            line = 0;
        }
        out += c;
        ++line;
    };
    for (size_t i = 0; i < size; i += 3) {
        const size_t left = size - i;
        const unsigned v = (static_cast<unsigned>(data[i]) << 16) | (left > 1 ? static_cast<unsigned>(data[i + 1]) << 8 : 0) |
                           (left > 2 ? data[i + 2] : 0);
        put(kBase64Alphabet[(v >> 18) & 63]);
        put(kBase64Alphabet[(v >> 12) & 63]);
        put(left > 1 ? kBase64Alphabet[(v >> 6) & 63] : '=');
        put(left > 2 ? kBase64Alphabet[v & 63] : '=');
    }
    return out;
}

BOOL Base64DecodeBytes(const char* text, size_t length, std::vector<BYTE>& output)
{
    output.clear();
    if (!text)
        return FALSE;
    unsigned accumulator = 0;
    int count = 0;     // characters in the current group of four
    int padding = 0;   // "=" seen; only more padding and white space may follow
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
            continue;
        if (c == '=') {
            // Padding completes a group of two or three characters.
            if (count < 2) {
                output.clear();
                return FALSE;
            }
            ++padding;
            if (count + padding > 4) {
                output.clear();
                return FALSE;
            }
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padding > 0) {
            output.clear();
            return FALSE;
        }
        accumulator = (accumulator << 6) | static_cast<unsigned>(value);
        if (++count == 4) {
            output.push_back(static_cast<BYTE>(accumulator >> 16));
            output.push_back(static_cast<BYTE>(accumulator >> 8));
            output.push_back(static_cast<BYTE>(accumulator));
            accumulator = 0;
            count = 0;
        }
    }
    // A final group of two or three characters (padded or not) gives one or two bytes;
    // a single character, or padding that does not fill the group, is a truncated text.
    if (count == 1 || (padding > 0 && count + padding != 4)) {
        output.clear();
        return FALSE;
    }
    if (count == 2) {
        if (accumulator & 0xF) {  // bits past the last byte must be zero
            output.clear();
            return FALSE;
        }
        output.push_back(static_cast<BYTE>(accumulator >> 4));
    } else if (count == 3) {
        if (accumulator & 0x3) {
            output.clear();
            return FALSE;
        }
        output.push_back(static_cast<BYTE>(accumulator >> 10));
        output.push_back(static_cast<BYTE>(accumulator >> 2));
    }
    return TRUE;
}

CString Base64EncodeString(const wchar_t* text)
{
    if (!text || !*text)
        return CString();
    const std::string bytes = CString(text).ToNarrow(CP_THREAD_ACP);
    const std::string encoded = Base64EncodeBytes(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    return CString::FromNarrow(encoded.data(), static_cast<int>(encoded.size()), CP_ACP);
}

CString Base64DecodeString(const wchar_t* text)
{
    if (!text || !*text)
        return CString();
    const std::string source = CString(text).ToNarrow(CP_THREAD_ACP);
    std::vector<BYTE> bytes;
    if (!Base64DecodeBytes(source.data(), source.size(), bytes))
        return CString();
    size_t end = 0;
    while (end < bytes.size() && bytes[end] != 0)
        ++end;
    return CString::FromNarrow(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(end), CP_THREAD_ACP);
}
