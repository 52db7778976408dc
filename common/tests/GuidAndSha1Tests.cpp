// New GUID texts and the SHA-1 digest of texts, with its failure messages.
#include "GuidText.h"
#include "Sha1.h"
#include "res/CodecIds.h"

#include "CodecTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using codectest::U8;
using codectest::WesternThreadCodePage;

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
    for (UINT id : {IDS_CODEC_NO_PROVIDER, IDS_CODEC_NO_HASH, IDS_CODEC_HASH_FAILED, IDS_CODEC_NO_HASH_VALUE}) {
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
