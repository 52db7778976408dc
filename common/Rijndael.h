// CRijndael: the AES block cipher.
#pragma once

#include "afx.h"

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
    // 1-bit cipher feedback over one 16-byte block; advances the vector.
    void Cfb1Block(BYTE vector[16], const BYTE* in, BYTE* out, int direction) const;
    // The block operations of either direction: whole blocks in the object's mode.
    int RunBlocks(int direction, const BYTE* input, int inputBits, BYTE* output) const;
    // Checks that the object may run in the given direction.
    int CheckState(int direction) const;

    bool m_notInitialized = true;
    int m_mode = ECB;
    int m_direction = Encrypt;
    BYTE m_initVector[16] = {};
    int m_rounds = 0;
    BYTE m_roundKeys[15 * 16] = {};  // the expanded key: (rounds + 1) round keys
};
