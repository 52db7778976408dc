#include "Codec.h"

#include "res/CodecIds.h"

#include <objbase.h>
#include <wincrypt.h>

#include <atomic>
#include <climits>
#include <cstring>

// ---------------------------------------------------------------------------------------
// AES

namespace {

struct AesTables {
    BYTE sbox[256];
    BYTE inverse[256];

    AesTables()
    {
        // The S-box from the multiplicative inverse in GF(2^8) followed by the affine map:
        // p runs through the powers of 3, q through the powers of its inverse.
        BYTE p = 1;
        BYTE q = 1;
        do {
            p = static_cast<BYTE>(p ^ (p << 1) ^ ((p & 0x80) ? 0x1B : 0));
            q = static_cast<BYTE>(q ^ (q << 1));
            q = static_cast<BYTE>(q ^ (q << 2));
            q = static_cast<BYTE>(q ^ (q << 4));
            if (q & 0x80)
                q ^= 0x09;
            BYTE x = static_cast<BYTE>(q ^ Rotl(q, 1) ^ Rotl(q, 2) ^ Rotl(q, 3) ^ Rotl(q, 4));
            sbox[p] = static_cast<BYTE>(x ^ 0x63);
        } while (p != 1);
        sbox[0] = 0x63;
        for (int i = 0; i < 256; ++i)
            inverse[sbox[i]] = static_cast<BYTE>(i);
    }
    static BYTE Rotl(BYTE x, int shift) { return static_cast<BYTE>((x << shift) | (x >> (8 - shift))); }
};

const AesTables& Tables()
{
    static const AesTables tables;
    return tables;
}

BYTE XTime(BYTE x) { return static_cast<BYTE>((x << 1) ^ ((x & 0x80) ? 0x1B : 0)); }

BYTE Multiply(BYTE a, BYTE b)
{
    BYTE result = 0;
    while (b) {
        if (b & 1)
            result ^= a;
        a = XTime(a);
        b >>= 1;
    }
    return result;
}

void AddRoundKey(BYTE state[16], const BYTE* key)
{
    for (int i = 0; i < 16; ++i)
        state[i] ^= key[i];
}

}  // namespace

CRijndael::CRijndael() = default;

int CRijndael::Init(int mode, int direction, const BYTE* key, int keyLength, const BYTE* initVector)
{
    m_notInitialized = true;
    if (mode != ECB && mode != CBC && mode != CFB1)
        return RE_BAD_MODE;
    if (direction != Encrypt && direction != Decrypt)
        return RE_BAD_DIRECTION;
    if (keyLength != Key16Bytes && keyLength != Key24Bytes && keyLength != Key32Bytes)
        return RE_BAD_KEY_LENGTH;
    if (!key)
        return RE_BAD_KEY;

    m_mode = mode;
    m_direction = direction;
    if (initVector)
        memcpy(m_initVector, initVector, 16);
    else
        memset(m_initVector, 0, 16);

    const int words = 4 + 2 * keyLength;  // Nk: 4, 6 or 8 key words
    m_rounds = words + 6;
    const int total = 4 * (m_rounds + 1);
    const AesTables& t = Tables();
    memcpy(m_roundKeys, key, static_cast<size_t>(words) * 4);
    BYTE rcon = 1;
    for (int i = words; i < total; ++i) {
        BYTE temp[4];
        memcpy(temp, m_roundKeys + (i - 1) * 4, 4);
        if (i % words == 0) {
            BYTE first = temp[0];
            temp[0] = static_cast<BYTE>(t.sbox[temp[1]] ^ rcon);
            temp[1] = t.sbox[temp[2]];
            temp[2] = t.sbox[temp[3]];
            temp[3] = t.sbox[first];
            rcon = XTime(rcon);
        } else if (words > 6 && i % words == 4) {
            for (BYTE& b : temp)
                b = t.sbox[b];
        }
        for (int k = 0; k < 4; ++k)
            m_roundKeys[i * 4 + k] = static_cast<BYTE>(m_roundKeys[(i - words) * 4 + k] ^ temp[k]);
    }
    m_notInitialized = false;
    return RE_SUCCESS;
}

void CRijndael::EncryptBlock(const BYTE in[16], BYTE out[16]) const
{
    const AesTables& t = Tables();
    BYTE s[16];
    memcpy(s, in, 16);
    AddRoundKey(s, m_roundKeys);
    for (int round = 1; round <= m_rounds; ++round) {
        BYTE n[16];
        // SubBytes and ShiftRows: row r moves r columns to the left.
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                n[r + 4 * c] = t.sbox[s[r + 4 * ((c + r) % 4)]];
        if (round != m_rounds) {
            for (int c = 0; c < 4; ++c) {
                BYTE* col = n + 4 * c;
                BYTE a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
                BYTE all = static_cast<BYTE>(a0 ^ a1 ^ a2 ^ a3);
                col[0] = static_cast<BYTE>(a0 ^ all ^ XTime(static_cast<BYTE>(a0 ^ a1)));
                col[1] = static_cast<BYTE>(a1 ^ all ^ XTime(static_cast<BYTE>(a1 ^ a2)));
                col[2] = static_cast<BYTE>(a2 ^ all ^ XTime(static_cast<BYTE>(a2 ^ a3)));
                col[3] = static_cast<BYTE>(a3 ^ all ^ XTime(static_cast<BYTE>(a3 ^ a0)));
            }
        }
        AddRoundKey(n, m_roundKeys + 16 * round);
        memcpy(s, n, 16);
    }
    memcpy(out, s, 16);
}

void CRijndael::DecryptBlock(const BYTE in[16], BYTE out[16]) const
{
    const AesTables& t = Tables();
    BYTE s[16];
    memcpy(s, in, 16);
    AddRoundKey(s, m_roundKeys + 16 * m_rounds);
    for (int round = m_rounds - 1; round >= 0; --round) {
        BYTE n[16];
        // Inverse ShiftRows and SubBytes: row r moves r columns to the right.
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                n[r + 4 * c] = t.inverse[s[r + 4 * ((c - r + 4) % 4)]];
        AddRoundKey(n, m_roundKeys + 16 * round);
        if (round != 0) {
            for (int c = 0; c < 4; ++c) {
                BYTE* col = n + 4 * c;
                BYTE a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
                col[0] = static_cast<BYTE>(Multiply(a0, 14) ^ Multiply(a1, 11) ^ Multiply(a2, 13) ^ Multiply(a3, 9));
                col[1] = static_cast<BYTE>(Multiply(a0, 9) ^ Multiply(a1, 14) ^ Multiply(a2, 11) ^ Multiply(a3, 13));
                col[2] = static_cast<BYTE>(Multiply(a0, 13) ^ Multiply(a1, 9) ^ Multiply(a2, 14) ^ Multiply(a3, 11));
                col[3] = static_cast<BYTE>(Multiply(a0, 11) ^ Multiply(a1, 13) ^ Multiply(a2, 9) ^ Multiply(a3, 14));
            }
        }
        memcpy(s, n, 16);
    }
    memcpy(out, s, 16);
}

int CRijndael::CheckState(int direction) const
{
    if (m_notInitialized)
        return RE_NOT_INITIALIZED;
    if (m_direction != direction)
        return RE_BAD_DIRECTION_FOR_OPERATION;
    return RE_SUCCESS;
}

int CRijndael::BlockEncrypt(const BYTE* input, int inputBits, BYTE* output)
{
    if (int state = CheckState(Encrypt))
        return state;
    if (!input || !output || inputBits <= 0)
        return 0;
    const int blocks = inputBits / 128;
    BYTE vector[16];
    memcpy(vector, m_initVector, 16);
    for (int b = 0; b < blocks; ++b) {
        const BYTE* in = input + 16 * b;
        BYTE* out = output + 16 * b;
        if (m_mode == ECB) {
            EncryptBlock(in, out);
        } else if (m_mode == CBC) {
            BYTE block[16];
            for (int i = 0; i < 16; ++i)
                block[i] = static_cast<BYTE>(in[i] ^ vector[i]);
            EncryptBlock(block, out);
            memcpy(vector, out, 16);
        } else {
            BYTE plain[16];
            memcpy(plain, in, 16);  // the output may be the input
            for (int k = 0; k < 128; ++k) {
                BYTE stream[16];
                EncryptBlock(vector, stream);
                const int bit = ((plain[k / 8] >> (7 - k % 8)) & 1) ^ (stream[0] >> 7);
                if (k % 8 == 0)
                    out[k / 8] = 0;
                out[k / 8] = static_cast<BYTE>(out[k / 8] | (bit << (7 - k % 8)));
                for (int i = 0; i < 15; ++i)
                    vector[i] = static_cast<BYTE>((vector[i] << 1) | (vector[i + 1] >> 7));
                vector[15] = static_cast<BYTE>((vector[15] << 1) | bit);
            }
        }
    }
    return 128 * blocks;
}

int CRijndael::BlockDecrypt(const BYTE* input, int inputBits, BYTE* output)
{
    if (int state = CheckState(Decrypt))
        return state;
    if (!input || !output || inputBits <= 0)
        return 0;
    const int blocks = inputBits / 128;
    BYTE vector[16];
    memcpy(vector, m_initVector, 16);
    for (int b = 0; b < blocks; ++b) {
        BYTE cipher[16];
        memcpy(cipher, input + 16 * b, 16);  // the output may be the input
        BYTE* out = output + 16 * b;
        if (m_mode == ECB) {
            DecryptBlock(cipher, out);
        } else if (m_mode == CBC) {
            DecryptBlock(cipher, out);
            for (int i = 0; i < 16; ++i)
                out[i] ^= vector[i];
            memcpy(vector, cipher, 16);
        } else {
            for (int k = 0; k < 128; ++k) {
                BYTE stream[16];
                EncryptBlock(vector, stream);
                const int cipherBit = (cipher[k / 8] >> (7 - k % 8)) & 1;
                const int bit = cipherBit ^ (stream[0] >> 7);
                if (k % 8 == 0)
                    out[k / 8] = 0;
                out[k / 8] = static_cast<BYTE>(out[k / 8] | (bit << (7 - k % 8)));
                for (int i = 0; i < 15; ++i)
                    vector[i] = static_cast<BYTE>((vector[i] << 1) | (vector[i + 1] >> 7));
                vector[15] = static_cast<BYTE>((vector[15] << 1) | cipherBit);
            }
        }
    }
    return 128 * blocks;
}

int CRijndael::PadEncrypt(const BYTE* input, int inputBytes, BYTE* output)
{
    if (int state = CheckState(Encrypt))
        return state;
    if (m_mode != ECB && m_mode != CBC)
        return RE_BAD_MODE;
    // The output length must be representable: (length / 16 + 1) * 16 <= INT_MAX.
    if (!input || !output || inputBytes < 1 || inputBytes > INT_MAX - 16)
        return 0;
    const int whole = inputBytes / 16;
    const int pad = 16 - (inputBytes - 16 * whole);
    BYTE vector[16];
    memcpy(vector, m_initVector, 16);
    for (int b = 0; b <= whole; ++b) {
        BYTE block[16];
        if (b < whole) {
            memcpy(block, input + 16 * b, 16);
        } else {
            memcpy(block, input + 16 * b, static_cast<size_t>(16 - pad));
            memset(block + 16 - pad, pad, static_cast<size_t>(pad));
        }
        if (m_mode == CBC)
            for (int i = 0; i < 16; ++i)
                block[i] ^= vector[i];
        EncryptBlock(block, output + 16 * b);
        if (m_mode == CBC)
            memcpy(vector, output + 16 * b, 16);
    }
    return 16 * (whole + 1);
}

int CRijndael::PadDecrypt(const BYTE* input, int inputBytes, BYTE* output)
{
    if (int state = CheckState(Decrypt))
        return state;
    if (m_mode != ECB && m_mode != CBC)
        return RE_BAD_MODE;
    if (!input || !output || inputBytes < 1)
        return 0;
    if (inputBytes % 16 != 0)
        return RE_BAD_DATA;
    const int blocks = inputBytes / 16;
    BYTE vector[16];
    memcpy(vector, m_initVector, 16);
    BYTE last[16];
    for (int b = 0; b < blocks; ++b) {
        BYTE cipher[16];
        memcpy(cipher, input + 16 * b, 16);
        BYTE plain[16];
        DecryptBlock(cipher, plain);
        if (m_mode == CBC) {
            for (int i = 0; i < 16; ++i)
                plain[i] ^= vector[i];
            memcpy(vector, cipher, 16);
        }
        if (b + 1 < blocks)
            memcpy(output + 16 * b, plain, 16);
        else
            memcpy(last, plain, 16);
    }
    // Every padding byte must hold the padding length, 1 to 16.
    const int pad = last[15];
    if (pad < 1 || pad > 16)
        return RE_BAD_DATA;
    for (int i = 16 - pad; i < 16; ++i)
        if (last[i] != pad)
            return RE_BAD_DATA;
    memcpy(output + 16 * (blocks - 1), last, static_cast<size_t>(16 - pad));
    return inputBytes - pad;
}

// ---------------------------------------------------------------------------------------
// Base64

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

// ---------------------------------------------------------------------------------------
// GUID texts

CString NewGuidString(BOOL withBraces)
{
    GUID guid{};
    HRESULT hr = CoCreateGuid(&guid);
    if (FAILED(hr))
        AfxThrowOleException(hr);
    CString text;
    text.Format(L"%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned long>(guid.Data1),
                static_cast<unsigned>(guid.Data2), static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1],
                guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    if (withBraces) {
        CString braced;
        braced.Format(L"{%s}", text.GetString());
        return braced;
    }
    return text;
}

// ---------------------------------------------------------------------------------------
// SHA-1

namespace {

std::atomic<DWORD> g_sha1ProviderType{PROV_RSA_FULL};

// Releases what was acquired so far, tells the user and ends the operation quietly.
[[noreturn]] void FailSha1(UINT messageId, DWORD error, HCRYPTHASH hash, HCRYPTPROV provider)
{
    if (hash)
        CryptDestroyHash(hash);
    if (provider)
        CryptReleaseContext(provider, 0);
    CString message;
    message.Format(messageId, static_cast<unsigned>(error));
    AfxMessageBox(message, MB_OK);
    AfxThrowUserException();
}

}  // namespace

DWORD SetSha1ProviderTypeForTesting(DWORD providerType) { return g_sha1ProviderType.exchange(providerType); }

CString ComputeSha1(const wchar_t* text)
{
    const DWORD providerType = g_sha1ProviderType.load();
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, providerType, CRYPT_VERIFYCONTEXT)) {
        const DWORD error = GetLastError();
        if (static_cast<HRESULT>(error) != NTE_BAD_KEYSET)
            FailSha1(IDS_CODEC_NO_PROVIDER, error, 0, 0);
        if (!CryptAcquireContextW(&provider, nullptr, nullptr, providerType, CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET))
            FailSha1(IDS_CODEC_NO_PROVIDER, GetLastError(), 0, 0);
    }
    if (!CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash))
        FailSha1(IDS_CODEC_NO_HASH, GetLastError(), 0, provider);

    // The text as the ANSI code page sees it: unrepresentable characters become the code
    // page's replacement character before they are hashed as UTF-16LE code units.
    const std::string narrow = CString(text).ToNarrow(CP_THREAD_ACP);
    const CString wide = CString::FromNarrow(narrow.data(), static_cast<int>(narrow.size()), CP_ACP);
    std::vector<BYTE> units;
    units.reserve(static_cast<size_t>(wide.GetLength()) * 2);
    for (int i = 0; i < wide.GetLength(); ++i) {
        const unsigned unit = wide[i];
        units.push_back(static_cast<BYTE>(unit & 0xFF));
        units.push_back(static_cast<BYTE>(unit >> 8));
    }
    if (!CryptHashData(hash, units.data(), static_cast<DWORD>(units.size()), 0))
        FailSha1(IDS_CODEC_HASH_FAILED, GetLastError(), hash, provider);

    BYTE digest[20] = {};
    DWORD digestLength = sizeof(digest);
    if (!CryptGetHashParam(hash, HP_HASHVAL, digest, &digestLength, 0) || digestLength != sizeof(digest))
        FailSha1(IDS_CODEC_NO_HASH_VALUE, GetLastError(), hash, provider);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);

    CString result;
    for (BYTE b : digest)
        result.AppendFormat(L"%02X", static_cast<unsigned>(b));
    return result;
}

// ---------------------------------------------------------------------------------------
// Text conversions

wchar_t* ConvertMultiByteToWide(wchar_t* buffer, const char* text, int bufferLength, UINT codePage, BOOL* lossy)
{
    if (lossy)
        *lossy = FALSE;
    if (!buffer || bufferLength < 1)
        return nullptr;
    buffer[0] = 0;
    if (!text)
        return nullptr;
    if (lossy) {
        // A strict pass first tells whether the text holds invalid sequences.
        if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, buffer, bufferLength) > 0)
            return buffer;
        const DWORD error = GetLastError();
        buffer[0] = 0;
        if (error == ERROR_NO_UNICODE_TRANSLATION)
            *lossy = TRUE;
        else if (error != ERROR_INVALID_FLAGS)
            return nullptr;
    }
    if (MultiByteToWideChar(codePage, 0, text, -1, buffer, bufferLength) > 0)
        return buffer;
    buffer[0] = 0;  // a partly written buffer never passes for a result
    return nullptr;
}

char* ConvertWideToMultiByte(char* buffer, const wchar_t* text, int bufferLength, UINT codePage, BOOL* lossy)
{
    if (lossy)
        *lossy = FALSE;
    if (!buffer || bufferLength < 1)
        return nullptr;
    buffer[0] = 0;
    if (!text)
        return nullptr;
    if (WideCharToMultiByte(codePage, 0, text, -1, buffer, bufferLength, nullptr, nullptr) <= 0) {
        buffer[0] = 0;  // a partly written buffer never passes for a result
        return nullptr;
    }
    if (lossy) {
        // Whatever the conversion changed (a default character, a best-fit look-alike, an
        // unpaired surrogate) shows when the result is read back.
        const CString back = CString::FromNarrow(buffer, -1, codePage);
        *lossy = back.Compare(text) != 0;
    }
    return buffer;
}
