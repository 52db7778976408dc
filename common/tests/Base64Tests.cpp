// Base64 of bytes and of ANSI texts, against the standard's vectors and Python's encoder.
#include "Base64.h"

#include "CodecTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using codectest::U8;
using codectest::Wide;
using codectest::WesternThreadCodePage;
using testsupport::ShellQuoted;

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

// ---- Cross-checks with the host's own tools ---------------------------------------------

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
    std::string command = "python3 " + ShellQuoted(scratch / L"encode.py");
    std::vector<std::vector<BYTE>> inputs;
    for (size_t size : sizes) {
        std::vector<BYTE> data(size);
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<BYTE>((i * 7919 + size) & 0xFF);
        CString name;
        name.Format(L"data%u.bin", static_cast<unsigned>(size));
        testsupport::WriteAll(scratch / name, data.data(), data.size());
        command += " " + ShellQuoted(scratch / name);
        inputs.push_back(data);
    }
    ASSERT_EQ(0, testsupport::RunHostCommand(command));
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
