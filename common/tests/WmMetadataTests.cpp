// Header attributes read through the metadata editor, and format codes by extension.
#include "MediaFixtures.h"
#include "WmMetadata.h"

#include <gtest/gtest.h>

#include <cstring>

using testsupport::ScratchFolder;

TEST(FormatCode, ByExtension)
{
    struct Case {
        const wchar_t* path;
        DWORD code;
    } cases[] = {
        {L"C:\\m\\a.aiff", 0x3007}, {L"a.wav", 0x3008},     {L"C:\\m\\PART01.MP3", 0x3009}, {L"a.avi", 0x300A},
        {L"a.mpeg", 0x300B},        {L"a.MPG", 0x300B},     {L"a.asf", 0x300C},             {L"a.dvr-ms", 0x300C},
        {L"a.wmv", 0xB981},         {L"a.jpg", 0x3808},     {L"a.jpe", 0x3808},             {L"cover.Jpeg", 0x3808},
        {L"a.wma", 0xB901},         {L"a.bmp", 0x3804},     {L"a.png", 0x380B},             {L"a.tiff", 0x380D},
        {L"a.gif", 0x3807},         {L"a.exif", 0x3801},    {L"a.ogg", 0x3000},             {L"C:\\m\\noext", 0x3000},
        {L"C:\\m.d\\noext", 0x3000}, {L"a.", 0x3000},       {L"", 0x3000},                  {nullptr, 0x3000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetFormatCodeForFile(c.path), c.code) << (c.path ? CString(c.path).ToNarrow() : "null");
}

TEST(WmAttributes, ReadFromFilesOfBothKinds)
{
    ScratchFolder folder;
    CString files[] = {mediafixtures::MakeWma(folder, L"a.wma"), mediafixtures::MakeMp3(folder, L"a.mp3")};
    for (const CString& path : files) {
        SCOPED_TRACE(path.ToNarrow());
        // A text comes back in a new buffer.
        BYTE* value = nullptr;
        WORD length = 0;
        WMT_ATTR_DATATYPE type;
        ASSERT_EQ(ReadWmFileAttribute(path, L"WM/AlbumTitle", &value, &length, &type), S_OK);
        EXPECT_EQ(type, WMT_TYPE_STRING);
        EXPECT_EQ(length, sizeof(L"Night Crossing"));
        EXPECT_STREQ(reinterpret_cast<wchar_t*>(value), L"Night Crossing");
        delete[] value;

        // A number goes into the caller's storage, which must be large enough.
        QWORD duration = 0;
        BYTE* storage = reinterpret_cast<BYTE*>(&duration);
        length = sizeof(duration);
        ASSERT_EQ(ReadWmFileAttribute(path, L"Duration", &storage, &length, &type), S_OK);
        EXPECT_EQ(length, 8);
        EXPECT_EQ(type, WMT_TYPE_QWORD);
        EXPECT_NEAR(static_cast<double>(duration / 10000), 3000.0, 80.0);

        BYTE small[8];
        std::memset(small, 0xCD, sizeof(small));
        storage = small;
        length = 4;
        EXPECT_EQ(ReadWmFileAttribute(path, L"Duration", &storage, &length, &type), WM_E_BUFFER_TOO_SMALL);
        EXPECT_EQ(length, 0);
        for (BYTE b : small)
            EXPECT_EQ(b, 0xCD) << "nothing written past what the caller holds";
        storage = nullptr;
        length = 8;
        EXPECT_EQ(ReadWmFileAttribute(path, L"Duration", &storage, &length, &type), E_POINTER);

        DWORD flag = 7;
        storage = reinterpret_cast<BYTE*>(&flag);
        length = sizeof(flag);
        ASSERT_EQ(ReadWmFileAttribute(path, L"Is_Protected", &storage, &length, &type), S_OK);
        EXPECT_EQ(type, WMT_TYPE_BOOL);
        EXPECT_EQ(flag, 0u);

        QWORD size = 0;
        ASSERT_EQ(ReadWmFileAttribute(path, L"FileSize", &type, &size), S_OK);
        EXPECT_EQ(size, testsupport::ReadAll(path).size());
        ASSERT_EQ(ReadWmFileAttribute(path, L"WM/Track", &type, &size), S_OK);
        EXPECT_EQ(size, 2u);
        EXPECT_EQ(ReadWmFileAttribute(path, L"Author", &type, &size), DISP_E_TYPEMISMATCH);

        value = nullptr;
        length = 0;
        EXPECT_EQ(ReadWmFileAttribute(path, L"No/Such", &value, &length), WM_E_NOT_FOUND);
        EXPECT_EQ(value, nullptr);
        EXPECT_EQ(length, 0);
    }
    BYTE* value = nullptr;
    WORD length = 0;
    EXPECT_TRUE(FAILED(ReadWmFileAttribute(folder / L"missing.wma", L"Title", &value, &length)));
    EXPECT_EQ(ReadWmAttribute(nullptr, L"Title", &value, &length), E_POINTER);
}
