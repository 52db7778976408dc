// The AES block cipher: the standard's vectors, its result codes, padding, and openssl.
#include "Rijndael.h"

#include "CodecTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using codectest::Hex;
using codectest::ToHex;
using testsupport::ShellQuoted;

TEST(Rijndael, KnownAnswerVectorsForEveryKeyLength)
{
    // The example vectors of the AES standard (appendix C).
    struct Case {
        int keyLength;
        const char* key;
        const char* cipher;
    } cases[] = {
        {CRijndael::Key16Bytes, "000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {CRijndael::Key24Bytes, "000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {CRijndael::Key32Bytes, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    const std::vector<BYTE> plain = Hex("00112233445566778899aabbccddeeff");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const std::vector<BYTE> key = Hex(c.key);
        CRijndael encrypt;
        ASSERT_EQ(0, encrypt.Init(CRijndael::ECB, CRijndael::Encrypt, key.data(), c.keyLength));
        BYTE out[16];
        ASSERT_EQ(128, encrypt.BlockEncrypt(plain.data(), 128, out));
        EXPECT_EQ(c.cipher, ToHex(out, 16));

        CRijndael decrypt;
        ASSERT_EQ(0, decrypt.Init(CRijndael::ECB, CRijndael::Decrypt, key.data(), c.keyLength));
        BYTE back[16];
        ASSERT_EQ(128, decrypt.BlockDecrypt(out, 128, back));
        EXPECT_EQ(ToHex(plain.data(), 16), ToHex(back, 16));
    }
}

TEST(Rijndael, ChainedModesMatchTheReferenceVectors)
{
    // The modes-of-operation examples for AES-128: CBC over two blocks, and the first
    // sixteen 1-bit CFB segments.
    const std::vector<BYTE> key = Hex("2b7e151628aed2a6abf7158809cf4f3c");
    const std::vector<BYTE> iv = Hex("000102030405060708090a0b0c0d0e0f");
    const std::vector<BYTE> plain = Hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");

    CRijndael cbc;
    ASSERT_EQ(0, cbc.Init(CRijndael::CBC, CRijndael::Encrypt, key.data(), CRijndael::Key16Bytes, iv.data()));
    BYTE cipher[32];
    ASSERT_EQ(256, cbc.BlockEncrypt(plain.data(), 256, cipher));
    EXPECT_EQ("7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2", ToHex(cipher, 32));
    CRijndael cbcBack;
    ASSERT_EQ(0, cbcBack.Init(CRijndael::CBC, CRijndael::Decrypt, key.data(), CRijndael::Key16Bytes, iv.data()));
    BYTE back[32];
    ASSERT_EQ(256, cbcBack.BlockDecrypt(cipher, 256, back));
    EXPECT_EQ(ToHex(plain.data(), 32), ToHex(back, 32));

    CRijndael cfb;
    ASSERT_EQ(0, cfb.Init(CRijndael::CFB1, CRijndael::Encrypt, key.data(), CRijndael::Key16Bytes, iv.data()));
    ASSERT_EQ(128, cfb.BlockEncrypt(plain.data(), 128, cipher));
    EXPECT_EQ("68b3", ToHex(cipher, 2));
    CRijndael cfbBack;
    ASSERT_EQ(0, cfbBack.Init(CRijndael::CFB1, CRijndael::Decrypt, key.data(), CRijndael::Key16Bytes, iv.data()));
    ASSERT_EQ(128, cfbBack.BlockDecrypt(cipher, 128, back));
    EXPECT_EQ(ToHex(plain.data(), 16), ToHex(back, 16));

    // A trailing part of a block is not touched.
    BYTE partial[32];
    memset(partial, 0xEE, sizeof partial);
    ASSERT_EQ(128, cbc.BlockEncrypt(plain.data(), 200, partial));
    EXPECT_EQ(0xEE, partial[16]);

    // Every mode may write over its input.
    for (int mode : {CRijndael::ECB, CRijndael::CBC, CRijndael::CFB1}) {
        CRijndael encrypt, decrypt, apart;
        ASSERT_EQ(0, encrypt.Init(mode, CRijndael::Encrypt, key.data(), CRijndael::Key16Bytes, iv.data()));
        ASSERT_EQ(0, decrypt.Init(mode, CRijndael::Decrypt, key.data(), CRijndael::Key16Bytes, iv.data()));
        ASSERT_EQ(0, apart.Init(mode, CRijndael::Encrypt, key.data(), CRijndael::Key16Bytes, iv.data()));
        std::vector<BYTE> data = plain;
        ASSERT_EQ(256, encrypt.BlockEncrypt(data.data(), 256, data.data()));
        ASSERT_EQ(256, apart.BlockEncrypt(plain.data(), 256, cipher));
        EXPECT_EQ(ToHex(cipher, 32), ToHex(data.data(), 32)) << "mode " << mode;
        ASSERT_EQ(256, decrypt.BlockDecrypt(data.data(), 256, data.data()));
        EXPECT_EQ(ToHex(plain.data(), 32), ToHex(data.data(), 32)) << "mode " << mode;
    }
}

TEST(Rijndael, InitReportsTheFirstBadArgument)
{
    const BYTE key[32] = {1, 2, 3};
    struct Case {
        int mode;
        int direction;
        const BYTE* key;
        int keyLength;
        int expected;
    } cases[] = {
        {3, 0, nullptr, 0, CRijndael::RE_BAD_MODE},  // the mode is checked before the key
        {-1, 0, key, 0, CRijndael::RE_BAD_MODE},
        {0, 2, nullptr, 3, CRijndael::RE_BAD_DIRECTION},
        {0, 0, key, 3, CRijndael::RE_BAD_KEY_LENGTH},
        {1, 1, nullptr, 3, CRijndael::RE_BAD_KEY_LENGTH},
        {2, 1, nullptr, 2, CRijndael::RE_BAD_KEY},
        {2, 1, key, 2, CRijndael::RE_SUCCESS},
    };
    for (const Case& c : cases) {
        CRijndael cipher;
        EXPECT_EQ(c.expected, cipher.Init(c.mode, c.direction, c.key, c.keyLength))
            << c.mode << " " << c.direction << " " << c.keyLength;
    }
}

TEST(Rijndael, OperationsRefuseAnObjectInTheWrongState)
{
    const BYTE key[16] = {};
    BYTE data[32] = {};
    BYTE out[48] = {};

    CRijndael fresh;
    EXPECT_EQ(CRijndael::RE_NOT_INITIALIZED, fresh.PadEncrypt(data, 16, out));
    EXPECT_EQ(CRijndael::RE_NOT_INITIALIZED, fresh.BlockDecrypt(data, 128, out));

    CRijndael encrypt;
    ASSERT_EQ(0, encrypt.Init(CRijndael::CBC, CRijndael::Encrypt, key, CRijndael::Key16Bytes));
    EXPECT_EQ(CRijndael::RE_BAD_DIRECTION_FOR_OPERATION, encrypt.PadDecrypt(data, 32, out));
    EXPECT_EQ(CRijndael::RE_BAD_DIRECTION_FOR_OPERATION, encrypt.BlockDecrypt(data, 128, out));

    CRijndael decrypt;
    ASSERT_EQ(0, decrypt.Init(CRijndael::ECB, CRijndael::Decrypt, key, CRijndael::Key16Bytes));
    EXPECT_EQ(CRijndael::RE_BAD_DIRECTION_FOR_OPERATION, decrypt.PadEncrypt(data, 16, out));

    CRijndael cfb;
    ASSERT_EQ(0, cfb.Init(CRijndael::CFB1, CRijndael::Encrypt, key, CRijndael::Key16Bytes));
    EXPECT_EQ(CRijndael::RE_BAD_MODE, cfb.PadEncrypt(data, 16, out));

    // A failed Init does not leave the previous key usable.
    EXPECT_EQ(CRijndael::RE_BAD_KEY, encrypt.Init(CRijndael::ECB, CRijndael::Encrypt, nullptr, 0));
    EXPECT_EQ(CRijndael::RE_NOT_INITIALIZED, encrypt.PadEncrypt(data, 16, out));
}

TEST(Rijndael, PaddedEncryptionLengthsAndRoundTrips)
{
    const std::vector<BYTE> key = Hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const std::vector<BYTE> iv = Hex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
    std::vector<BYTE> plain(40);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<BYTE>(i * 7 + 1);

    for (int mode : {CRijndael::ECB, CRijndael::CBC}) {
        CRijndael encrypt;
        CRijndael decrypt;
        ASSERT_EQ(0, encrypt.Init(mode, CRijndael::Encrypt, key.data(), CRijndael::Key32Bytes, iv.data()));
        ASSERT_EQ(0, decrypt.Init(mode, CRijndael::Decrypt, key.data(), CRijndael::Key32Bytes, iv.data()));
        BYTE cipher[64];
        BYTE back[64];
        EXPECT_EQ(0, encrypt.PadEncrypt(plain.data(), 0, cipher));
        EXPECT_EQ(0, encrypt.PadEncrypt(nullptr, 16, cipher));
        for (int length = 1; length <= 40; ++length) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " length " << length);
            const int expected = (length / 16 + 1) * 16;
            ASSERT_EQ(expected, encrypt.PadEncrypt(plain.data(), length, cipher));
            // The last block holds n bytes of value n.
            BYTE raw[64];
            ASSERT_EQ(expected * 8, decrypt.BlockDecrypt(cipher, expected * 8, raw));
            const int pad = expected - length;
            for (int i = length; i < expected; ++i)
                ASSERT_EQ(pad, raw[i]);
            ASSERT_EQ(length, decrypt.PadDecrypt(cipher, expected, back));
            EXPECT_EQ(ToHex(plain.data(), static_cast<size_t>(length)), ToHex(back, static_cast<size_t>(length)));
        }
    }
}

TEST(Rijndael, PaddedDecryptionRefusesCorruptData)
{
    const BYTE key[16] = {9, 8, 7};
    CRijndael encrypt;
    CRijndael decrypt;
    CRijndael raw;
    ASSERT_EQ(0, encrypt.Init(CRijndael::ECB, CRijndael::Encrypt, key, CRijndael::Key16Bytes));
    ASSERT_EQ(0, decrypt.Init(CRijndael::ECB, CRijndael::Decrypt, key, CRijndael::Key16Bytes));
    ASSERT_EQ(0, raw.Init(CRijndael::ECB, CRijndael::Encrypt, key, CRijndael::Key16Bytes));
    BYTE out[64];

    // Plain blocks whose last bytes are not valid padding, encrypted without padding.
    struct Case {
        const char* lastBlock;
    } cases[] = {
        {"00000000000000000000000000000000"},  // pad length 0
        {"00000000000000000000000000000011"},  // pad length 17
        {"00000000000000000000000000030203"},  // bytes differ within the padding
        {"00000000000000000000000000000002"},  // one of two padding bytes wrong
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lastBlock);
        const std::vector<BYTE> block = Hex(c.lastBlock);
        BYTE cipher[16];
        ASSERT_EQ(128, raw.BlockEncrypt(block.data(), 128, cipher));
        EXPECT_EQ(CRijndael::RE_BAD_DATA, decrypt.PadDecrypt(cipher, 16, out));
    }
    BYTE cipher[32];
    ASSERT_EQ(32, encrypt.PadEncrypt(reinterpret_cast<const BYTE*>("sixteen bytes!!!"), 16, cipher));
    EXPECT_EQ(CRijndael::RE_BAD_DATA, decrypt.PadDecrypt(cipher, 31, out));  // not whole blocks
    EXPECT_EQ(16, decrypt.PadDecrypt(cipher, 32, out));
    EXPECT_EQ(0, memcmp(out, "sixteen bytes!!!", 16));
}

// ---- Cross-checks with the host's own tools ---------------------------------------------

TEST(HostCrossCheck, PaddedEncryptionMatchesOpenssl)
{
    testsupport::ScratchFolder scratch;
    struct Case {
        const char* cipher;
        int mode;
        int keyLength;
        const char* key;
    } cases[] = {
        {"aes-128-cbc", CRijndael::CBC, CRijndael::Key16Bytes, "2b7e151628aed2a6abf7158809cf4f3c"},
        {"aes-192-cbc", CRijndael::CBC, CRijndael::Key24Bytes, "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b"},
        {"aes-256-cbc", CRijndael::CBC, CRijndael::Key32Bytes,
         "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"},
        {"aes-128-ecb", CRijndael::ECB, CRijndael::Key16Bytes, "000102030405060708090a0b0c0d0e0f"},
    };
    const char* ivHex = "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff";
    const std::vector<BYTE> iv = Hex(ivHex);
    for (const Case& c : cases) {
        for (int length : {1, 15, 16, 17, 100}) {
            SCOPED_TRACE(testing::Message() << c.cipher << " length " << length);
            std::vector<BYTE> plain(static_cast<size_t>(length));
            for (int i = 0; i < length; ++i)
                plain[static_cast<size_t>(i)] = static_cast<BYTE>(i * 31 + length);
            const CString in = scratch / L"plain.bin";
            const CString out = scratch / L"cipher.bin";
            testsupport::WriteAll(in, plain.data(), plain.size());
            DeleteFileW(out);
            std::string command = std::string("openssl enc -") + c.cipher + " -K " + c.key;
            if (c.mode == CRijndael::CBC)
                command += std::string(" -iv ") + ivHex;
            command += " -in " + ShellQuoted(in) + " -out " + ShellQuoted(out);
            ASSERT_EQ(0, testsupport::RunHostCommand(command));
            const std::vector<BYTE> expected = testsupport::ReadAll(out);

            const std::vector<BYTE> key = Hex(c.key);
            CRijndael encrypt;
            ASSERT_EQ(0, encrypt.Init(c.mode, CRijndael::Encrypt, key.data(), c.keyLength, iv.data()));
            std::vector<BYTE> cipher(static_cast<size_t>((length / 16 + 1) * 16));
            ASSERT_EQ(static_cast<int>(cipher.size()), encrypt.PadEncrypt(plain.data(), length, cipher.data()));
            EXPECT_EQ(ToHex(expected.data(), expected.size()), ToHex(cipher.data(), cipher.size()));

            CRijndael decrypt;
            ASSERT_EQ(0, decrypt.Init(c.mode, CRijndael::Decrypt, key.data(), c.keyLength, iv.data()));
            std::vector<BYTE> back(expected.size());
            ASSERT_EQ(length, decrypt.PadDecrypt(expected.data(), static_cast<int>(expected.size()), back.data()));
            EXPECT_EQ(ToHex(plain.data(), plain.size()), ToHex(back.data(), static_cast<size_t>(length)));
        }
    }
}
