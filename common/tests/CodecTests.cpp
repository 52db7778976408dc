#include "Codec.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <string>
#include <vector>

namespace {

// UTF-8 for failure messages.
std::string U8(const wchar_t* text) { return CString(text).ToNarrow(CP_UTF8); }

std::vector<BYTE> Hex(const char* text)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; text[i] && text[i + 1]; i += 2)
        bytes.push_back(static_cast<BYTE>(std::stoi(std::string(text + i, 2), nullptr, 16)));
    return bytes;
}

std::string ToHex(const BYTE* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

CString Wide(const char* utf8) { return CString::FromNarrow(utf8, -1, CP_UTF8); }

// Makes the thread's ANSI code page the western one (1252) while it lives, so the tests
// of unrepresentable characters do not depend on the machine's locale.
class WesternThreadCodePage {
public:
    WesternThreadCodePage() : m_previous(GetThreadLocale()) { SetThreadLocale(MAKELCID(0x0409, SORT_DEFAULT)); }
    ~WesternThreadCodePage() { SetThreadLocale(m_previous); }
    static UINT ThreadCodePage()
    {
        wchar_t text[8] = {};
        GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, 8);
        return static_cast<UINT>(_wtoi(text));
    }

private:
    LCID m_previous;
};

}  // namespace

// ---- AES ----------------------------------------------------------------------------

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

// ---- Base64 -------------------------------------------------------------------------

TEST(Base64, EncodesTheStandardVectors)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* encoded;
    } cases[] = {
        {L"", L""},         {L"f", L"Zg=="},         {L"fo", L"Zm8="},         {L"foo", L"Zm9v"},
        {L"foob", L"Zm9vYg=="}, {L"fooba", L"Zm9vYmE="}, {L"foobar", L"Zm9vYmFy"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CString(c.encoded), Base64EncodeString(c.text)) << U8(c.text);
        EXPECT_EQ(CString(c.text), Base64DecodeString(c.encoded)) << U8(c.encoded);
    }
}

TEST(Base64, BreaksLinesAfterSeventySixCharacters)
{
    const std::string exact(57, 'a');  // 76 characters: one line, no break
    const std::string longer(58, 'a');
    const std::string a = Base64EncodeBytes(reinterpret_cast<const BYTE*>(exact.data()), exact.size());
    const std::string b = Base64EncodeBytes(reinterpret_cast<const BYTE*>(longer.data()), longer.size());
    EXPECT_EQ(76u, a.size());
    EXPECT_EQ(std::string::npos, a.find('\r'));
    EXPECT_EQ(76u + 2 + 4, b.size());
    EXPECT_EQ("\r\nYQ==", b.substr(76));

    // The broken lines decode back.
    std::vector<BYTE> decoded;
    ASSERT_TRUE(Base64DecodeBytes(b.data(), b.size(), decoded));
    EXPECT_EQ(longer, std::string(decoded.begin(), decoded.end()));
    const std::string text(200, 'z');
    EXPECT_EQ(Wide(text.c_str()), Base64DecodeString(Base64EncodeString(Wide(text.c_str()))));
}

TEST(Base64, DecodingRefusesMalformedText)
{
    struct Case {
        const char* text;
        bool ok;
        const char* bytes;
    } cases[] = {
        {"Zm9v", true, "foo"},
        {"Zm9vYg", true, "foob"},        // padding left out
        {" Zm9v\r\nYmFy\t", true, "foobar"},
        {"Zm9v!", false, ""},
        {"Z", false, ""},                // a lone character
        {"Zm9vY", false, ""},
        {"Zg=", false, ""},              // padding does not fill the group
        {"Zg===", false, ""},
        {"=Zg=", false, ""},
        {"Zg==Zg==", false, ""},         // data after padding
        {"Zh==", false, ""},             // bits beyond the last byte
        {"Zm9=", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<BYTE> bytes{1, 2, 3};
        EXPECT_EQ(c.ok ? TRUE : FALSE, Base64DecodeBytes(c.text, strlen(c.text), bytes));
        EXPECT_EQ(std::string(c.bytes), std::string(bytes.begin(), bytes.end()));
    }
    EXPECT_EQ(CString(), Base64DecodeString(L"Zm9v!"));
    EXPECT_EQ(CString(), Base64DecodeString(nullptr));
}

TEST(Base64, DecodedTextEndsAtTheFirstZeroByte)
{
    const BYTE bytes[] = {'a', 'b', 0, 'c', 'd'};
    const std::string encoded = Base64EncodeBytes(bytes, sizeof bytes);
    EXPECT_EQ(CString(L"ab"), Base64DecodeString(CString::FromNarrow(encoded.c_str(), -1, CP_ACP)));
}

TEST(Base64, UnrepresentableCharactersBecomeTheReplacementCharacter)
{
    WesternThreadCodePage western;
    ASSERT_EQ(1252u, WesternThreadCodePage::ThreadCodePage());
    // U+6F22 has no place in a western code page: it is encoded as "?".
    EXPECT_EQ(CString(L"YT9i"), Base64EncodeString(L"a\u6F22b"));
    EXPECT_EQ(CString(L"a?b"), Base64DecodeString(L"YT9i"));
    // Western letters travel as their code-page bytes.
    EXPECT_EQ(CString(L"/A=="), Base64EncodeString(L"\u00FC"));
    EXPECT_EQ(CString(L"\u00FC"), Base64DecodeString(L"/A=="));
}

// ---- GUID texts ---------------------------------------------------------------------

TEST(GuidText, FormatAndFieldOrder)
{
    const CString plain = NewGuidString(FALSE);
    const CString braced = NewGuidString(TRUE);
    ASSERT_EQ(36, plain.GetLength());
    ASSERT_EQ(38, braced.GetLength());
    EXPECT_NE(plain, braced.Mid(1, 36));
    for (int i = 0; i < 36; ++i) {
        const wchar_t c = plain[i];
        if (i == 8 || i == 13 || i == 18 || i == 23)
            EXPECT_EQ(L'-', c) << i;
        else
            EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) << i << " " << U8(plain);
    }
    EXPECT_EQ(L'{', braced[0]);
    EXPECT_EQ(L'}', braced[37]);

    // The system's own reading and writing of the text gives the same GUID back.
    GUID guid{};
    ASSERT_EQ(S_OK, CLSIDFromString(braced, &guid));
    wchar_t again[40] = {};
    ASSERT_EQ(39, StringFromGUID2(guid, again, 40));
    EXPECT_EQ(braced, CString(again));
}

// ---- SHA-1 --------------------------------------------------------------------------

TEST(Sha1, DigestOfTheUtf16Text)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* digest;
    } cases[] = {
        {L"", L"DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},      // no bytes at all
        {L"abc", L"9F04F41A848514162050E3D68C1A7ABB441DC2B5"},   // 61 00 62 00 63 00
        {L"The quick brown fox jumps over the lazy dog", L"BD136CB58899C93173C33A90DDE95EAD0D0CF6DF"},
    };
    testsupport::MessageBoxRecorder boxes;
    for (const Case& c : cases)
        EXPECT_EQ(CString(c.digest), ComputeSha1(c.text)) << U8(c.text);
    EXPECT_TRUE(boxes.Boxes().empty());
    // Not the digest of the three ASCII bytes.
    EXPECT_NE(CString(L"A9993E363E4706816ABA3E25717850C26C9CD0D89D"), ComputeSha1(L"abc"));
}

TEST(Sha1, UnrepresentableCharactersAreHashedAsTheReplacementCharacter)
{
    WesternThreadCodePage western;
    ASSERT_EQ(1252u, WesternThreadCodePage::ThreadCodePage());
    EXPECT_EQ(CString(L"738F291E53E97C08DAE378C71EF70A60E31AE900"), ComputeSha1(L"\u6F22"));
    EXPECT_EQ(ComputeSha1(L"?"), ComputeSha1(L"\u6F22"));
}

TEST(Sha1, FailureMessagesAreInTheStringTable)
{
    for (UINT id : {4401u, 4402u, 4403u, 4404u}) {
        const CString text = AfxLoadString(id);
        EXPECT_NE(-1, text.Find(L"(error 0x%.8X)")) << id;
    }
}

TEST(Sha1, AProviderFailureIsShownAndEndsQuietly)
{
    testsupport::MessageBoxRecorder boxes;
    const DWORD previous = SetSha1ProviderTypeForTesting(999);  // no such provider type
    bool quiet = false;
    try {
        ComputeSha1(L"abc");
    } catch (const CUserException&) {
        quiet = true;
    }
    SetSha1ProviderTypeForTesting(previous);
    EXPECT_TRUE(quiet);
    ASSERT_EQ(1u, boxes.Boxes().size());
    const AfxMessageBoxRequest& box = boxes.Boxes()[0];
    EXPECT_EQ(static_cast<UINT>(MB_OK), box.type & 0xF);
    const CString prefix(L"Unable to acquire a cryptographic service provider used to generate hash values (error 0x");
    EXPECT_EQ(prefix, box.text.Left(prefix.GetLength())) << U8(box.text);
    EXPECT_EQ(prefix.GetLength() + 10, box.text.GetLength()) << U8(box.text);  // eight digits, ")."
    // The next digest works again.
    EXPECT_EQ(CString(L"9F04F41A848514162050E3D68C1A7ABB441DC2B5"), ComputeSha1(L"abc"));
}

// ---- Cross-checks with the host's own tools ---------------------------------------------

namespace {

std::string Quoted(const CString& windowsPath)
{
    std::string quoted = "'";
    for (char c : testsupport::UnixPath(windowsPath))
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a host command line and returns its exit code. Wine does not wait for the Unix
// programs it starts, so the shell leaves the code in a file that is awaited (one minute at most).
int RunHostTool(const testsupport::ScratchFolder& folder, const std::string& commandLine)
{
    static LONG counter = 0;
    CString tag;
    tag.Format(L"host-%ld", InterlockedIncrement(&counter));
    const CString pending = folder / (tag + L".pending");
    const CString done = folder / (tag + L".done");
    testsupport::RunHostCommand("(" + commandLine + ") >/dev/null 2>&1; echo $? >" + Quoted(pending) + "; mv " +
                                Quoted(pending) + " " + Quoted(done));
    for (int waited = 0; waited < 60000; waited += 10) {
        if (GetFileAttributesW(done) != INVALID_FILE_ATTRIBUTES) {
            const std::vector<BYTE> bytes = testsupport::ReadAll(done);
            return std::atoi(std::string(bytes.begin(), bytes.end()).c_str());
        }
        Sleep(10);
    }
    return -1;
}

}  // namespace

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
            command += " -in " + Quoted(in) + " -out " + Quoted(out);
            ASSERT_EQ(0, RunHostTool(scratch, command));
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

TEST(HostCrossCheck, Base64MatchesPythonsMimeEncoder)
{
    testsupport::ScratchFolder scratch;
    const std::vector<size_t> sizes = {0, 1, 2, 3, 56, 57, 58, 114, 115, 200, 1000};
    std::string script = "import base64, sys\n"
                         "for name in sys.argv[1:]:\n"
                         "    data = open(name, 'rb').read()\n"
                         "    text = base64.encodebytes(data).replace(b'\\n', b'\\r\\n')\n"
                         "    open(name + '.b64', 'wb').write(text[:-2] if text.endswith(b'\\r\\n') else text)\n";
    testsupport::WriteAll(scratch / L"encode.py", script);
    std::string command = "python3 " + Quoted(scratch / L"encode.py");
    std::vector<std::vector<BYTE>> inputs;
    for (size_t size : sizes) {
        std::vector<BYTE> data(size);
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<BYTE>((i * 7919 + size) & 0xFF);
        CString name;
        name.Format(L"data%u.bin", static_cast<unsigned>(size));
        testsupport::WriteAll(scratch / name, data.data(), data.size());
        command += " " + Quoted(scratch / name);
        inputs.push_back(data);
    }
    ASSERT_EQ(0, RunHostTool(scratch, command));
    for (size_t k = 0; k < sizes.size(); ++k) {
        SCOPED_TRACE(sizes[k]);
        CString name;
        name.Format(L"data%u.bin.b64", static_cast<unsigned>(sizes[k]));
        const std::vector<BYTE> expected = testsupport::ReadAll(scratch / name);
        const std::string ours = Base64EncodeBytes(inputs[k].data(), inputs[k].size());
        EXPECT_EQ(std::string(expected.begin(), expected.end()), ours);
        std::vector<BYTE> decoded;
        ASSERT_TRUE(Base64DecodeBytes(ours.data(), ours.size(), decoded));
        EXPECT_TRUE(decoded == inputs[k]);
    }
}

// ---- Text conversions ---------------------------------------------------------------

TEST(TextConversion, RoundTripsInTheirCodePages)
{
    struct Case {
        UINT codePage;
        const char* utf8;
    } cases[] = {
        {1252, "plain ASCII"},
        {1252, "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},                  // Grüße €
        {CP_UTF8, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x8E\xB5"},  // 日本語 and a surrogate pair
        {932, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {1251, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},       // Привет
        {1252, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " " << c.utf8);
        const CString original = Wide(c.utf8);
        char narrow[128];
        wchar_t wide[128];
        BOOL lossy = TRUE;
        ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, original, sizeof narrow, c.codePage, &lossy));
        EXPECT_FALSE(lossy);
        ASSERT_EQ(wide, ConvertMultiByteToWide(wide, narrow, 128, c.codePage, &lossy));
        EXPECT_FALSE(lossy);
        EXPECT_EQ(original, CString(wide));
        // Without asking about losses the result is the same.
        ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, original, sizeof narrow, c.codePage));
        ASSERT_EQ(wide, ConvertMultiByteToWide(wide, narrow, 128, c.codePage));
        EXPECT_EQ(original, CString(wide));
    }
}

TEST(TextConversion, LossesAreReportedNotHidden)
{
    char narrow[64];
    wchar_t wide[64];
    BOOL lossy = FALSE;

    // Characters a western code page lacks become "?" or a look-alike, and are reported.
    ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, L"a\u65E5\u672Cb", sizeof narrow, 1252, &lossy));
    EXPECT_STREQ("a??b", narrow);
    EXPECT_TRUE(lossy);
    lossy = FALSE;
    ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, L"\u0101", sizeof narrow, 1252, &lossy));
    EXPECT_TRUE(lossy) << narrow;

    // An unpaired surrogate cannot be carried by UTF-8.
    ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, L"x\xD800y", sizeof narrow, CP_UTF8, &lossy));
    EXPECT_TRUE(lossy);

    // Bytes that are not UTF-8 become U+FFFD and are reported.
    ASSERT_EQ(wide, ConvertMultiByteToWide(wide, "ok\xC3(", 64, CP_UTF8, &lossy));
    EXPECT_TRUE(lossy);
    EXPECT_NE(nullptr, wcschr(wide, 0xFFFD));
    ASSERT_EQ(wide, ConvertMultiByteToWide(wide, "fine", 64, CP_UTF8, &lossy));
    EXPECT_FALSE(lossy);
}

TEST(TextConversion, FailuresLeaveAnEmptyBuffer)
{
    char narrow[4];
    wchar_t wide[4];
    memset(narrow, 'x', sizeof narrow);
    wmemset(wide, L'x', 4);
    // Too small for the text and its terminator.
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(narrow, L"four", sizeof narrow, 1252));
    EXPECT_EQ(0, narrow[0]);
    EXPECT_EQ(nullptr, ConvertMultiByteToWide(wide, "four", 4, 1252));
    EXPECT_EQ(0, wide[0]);
    BOOL lossy = TRUE;
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(narrow, L"four", sizeof narrow, 1252, &lossy));
    EXPECT_EQ(0, narrow[0]);
    EXPECT_EQ(nullptr, ConvertMultiByteToWide(wide, "four", 4, CP_UTF8, &lossy));
    EXPECT_EQ(0, wide[0]);

    // Null arguments and a buffer without room.
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(nullptr, L"a", 4, 1252));
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(narrow, nullptr, 4, 1252));
    EXPECT_EQ(0, narrow[0]);
    EXPECT_EQ(nullptr, ConvertMultiByteToWide(wide, nullptr, 4, 1252));
    EXPECT_EQ(nullptr, ConvertMultiByteToWide(wide, "a", 0, 1252));
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(narrow, L"a", -5, 1252));

    // Exactly enough room.
    EXPECT_EQ(narrow, ConvertWideToMultiByte(narrow, L"abc", sizeof narrow, 1252));
    EXPECT_STREQ("abc", narrow);
}
