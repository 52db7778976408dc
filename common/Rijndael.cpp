#include "Rijndael.h"

#include <climits>
#include <cstring>

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

void CRijndael::Cfb1Block(BYTE vector[16], const BYTE* in, BYTE* out, int direction) const
{
    // One bit per cipher call; the vector shifts in each cipher-text bit.
    BYTE input[16];
    memcpy(input, in, 16);  // the output may be the input
    for (int k = 0; k < 128; ++k) {
        BYTE stream[16];
        EncryptBlock(vector, stream);
        const int inBit = (input[k / 8] >> (7 - k % 8)) & 1;
        const int bit = inBit ^ (stream[0] >> 7);
        if (k % 8 == 0)
            out[k / 8] = 0;
        out[k / 8] = static_cast<BYTE>(out[k / 8] | (bit << (7 - k % 8)));
        for (int i = 0; i < 15; ++i)
            vector[i] = static_cast<BYTE>((vector[i] << 1) | (vector[i + 1] >> 7));
        vector[15] = static_cast<BYTE>((vector[15] << 1) | (direction == Encrypt ? bit : inBit));
    }
}

int CRijndael::BlockEncrypt(const BYTE* input, int inputBits, BYTE* output)
{
    return RunBlocks(Encrypt, input, inputBits, output);
}

int CRijndael::BlockDecrypt(const BYTE* input, int inputBits, BYTE* output)
{
    return RunBlocks(Decrypt, input, inputBits, output);
}

int CRijndael::RunBlocks(int direction, const BYTE* input, int inputBits, BYTE* output) const
{
    if (int state = CheckState(direction))
        return state;
    if (!input || !output || inputBits <= 0)
        return 0;
    const int blocks = inputBits / 128;
    BYTE vector[16];
    memcpy(vector, m_initVector, 16);
    for (int b = 0; b < blocks; ++b) {
        BYTE in[16];
        memcpy(in, input + 16 * b, 16);  // the output may be the input
        BYTE* out = output + 16 * b;
        if (m_mode == CFB1) {
            Cfb1Block(vector, in, out, direction);
        } else if (direction == Encrypt) {
            if (m_mode == CBC)
                for (int i = 0; i < 16; ++i)
                    in[i] ^= vector[i];
            EncryptBlock(in, out);
            if (m_mode == CBC)
                memcpy(vector, out, 16);
        } else {
            DecryptBlock(in, out);
            if (m_mode == CBC) {
                for (int i = 0; i < 16; ++i)
                    out[i] ^= vector[i];
                memcpy(vector, in, 16);
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
