// Small stateless codec functions the programs share: the AES block cipher, base64 text,
// new GUID texts, the SHA-1 digest as hexadecimal text, and UTF-16 <-> multibyte conversion.
#pragma once

#include "afx.h"

#include <string>
#include <vector>

// The AES block cipher (128-bit blocks; 128-, 192- or 256-bit keys) in ECB, CBC and
// 1-bit CFB mode. Every operation reports by a result code and never throws.
class CRijndael {
public:
    enum Mode { ECB = 0, CBC = 1, CFB1 = 2 };
    enum Direction { Encrypt = 0, Decrypt = 1 };
    enum KeyLength { Key16Bytes = 0, Key24Bytes = 1, Key32Bytes = 2 };
    enum Result {
        RE_SUCCESS = 0,
        RE_BAD_MODE = -1,
        RE_BAD_DIRECTION = -2,
        RE_BAD_KEY_LENGTH = -3,
        RE_BAD_KEY = -4,
        RE_NOT_INITIALIZED = -5,
        RE_BAD_DIRECTION_FOR_OPERATION = -6,
        RE_BAD_DATA = -7,
    };

    CRijndael();

    // Validates mode, direction, key length code and key (in that order; the first failure
    // is returned) and prepares the key schedule. A null vector means sixteen zero bytes.
    // A failed Init leaves the object not initialised.
    int Init(int mode, int direction, const BYTE* key, int keyLength, const BYTE* initVector = nullptr);

    // Whole 128-bit blocks in any mode; lengths in bits (a trailing part block is ignored).
    // Returns the output length in bits or a negative result code.
    int BlockEncrypt(const BYTE* input, int inputBits, BYTE* output);
    int BlockDecrypt(const BYTE* input, int inputBits, BYTE* output);

    // ECB or CBC with PKCS #7 padding: the output has (length / 16 + 1) * 16 bytes, which the
    // caller provides. Returns the output length in bytes, 0 for no input, or a result code.
    int PadEncrypt(const BYTE* input, int inputBytes, BYTE* output);
    // The inverse: returns the plain length in bytes; RE_BAD_DATA for a length that is not a
    // positive multiple of 16 or padding that is not n bytes of value n (1 to 16). The caller
    // provides an output buffer of the input's length.
    int PadDecrypt(const BYTE* input, int inputBytes, BYTE* output);

private:
    void EncryptBlock(const BYTE in[16], BYTE out[16]) const;
    void DecryptBlock(const BYTE in[16], BYTE out[16]) const;
    // Checks that the object may run in the given direction.
    int CheckState(int direction) const;

    bool m_notInitialized = true;
    int m_mode = ECB;
    int m_direction = Encrypt;
    BYTE m_initVector[16] = {};
    int m_rounds = 0;
    BYTE m_roundKeys[15 * 16] = {};  // the expanded key: (rounds + 1) round keys
};

// Base64 of bytes (RFC 4648 alphabet, "=" padding, lines of 76 characters separated by CR LF).
std::string Base64EncodeBytes(const BYTE* data, size_t size);
// Decodes base64 text; white space (CR, LF, blank, tab) is skipped. FALSE, with the output
// empty, for a character outside the alphabet, misplaced padding or a truncated group.
BOOL Base64DecodeBytes(const char* text, size_t length, std::vector<BYTE>& output);

// The text in the thread's ANSI code page, encoded as base64.
CString Base64EncodeString(const wchar_t* text);
// The base64 text decoded, ended at its first zero byte and read as ANSI text; an empty text
// when the input is not valid base64.
CString Base64DecodeString(const wchar_t* text);

// A new GUID as "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (upper case), in braces when asked.
// A failure of the system throws COleException.
CString NewGuidString(BOOL withBraces);

// Forty upper-case hexadecimal digits of the SHA-1 digest of the text's UTF-16LE code units
// (after a round trip through the ANSI code page). On a CryptoAPI failure the user is shown
// the message and CUserException is thrown.
CString ComputeSha1(const wchar_t* text);
// Test seam: the CryptoAPI provider type ComputeSha1 asks for (PROV_RSA_FULL unless changed).
// Returns the previous type.
DWORD SetSha1ProviderTypeForTesting(DWORD providerType);

// Convert a NUL-terminated text into the caller's buffer (length in characters / bytes),
// which is first made an empty text. They return the buffer, or null when the buffer or the
// text is null, the buffer length is below 1, or the conversion fails (the buffer is then
// left empty). Characters the target cannot represent become its replacement character (or a
// best-fit look-alike); when lossy is given it tells whether the result differs from the text
// in any such way (for multibyte input: whether it held sequences not valid in the code page).
wchar_t* ConvertMultiByteToWide(wchar_t* buffer, const char* text, int bufferLength, UINT codePage,
                                BOOL* lossy = nullptr);
char* ConvertWideToMultiByte(char* buffer, const wchar_t* text, int bufferLength, UINT codePage,
                             BOOL* lossy = nullptr);
