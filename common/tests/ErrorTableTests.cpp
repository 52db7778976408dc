#include "ErrorTable.h"

#include <gtest/gtest.h>

namespace {

std::string U8(const wchar_t* text) { return CString(text).ToNarrow(CP_UTF8); }

}  // namespace

TEST(ErrorTable, KnownCodesOfBothMaps)
{
    struct Case {
        HRESULT code;
        const wchar_t* text;
    } cases[] = {
        {static_cast<HRESULT>(0x80000001), L"Error 0x80000001: Not implemented."},
        {E_NOTIMPL, L"Error 0x80004001: Not implemented."},
        {E_FAIL, L"Error 0x80004005: An unexpected error occurred."},
        {static_cast<HRESULT>(0x800300FD), L"Error 0x800300FD: An unexpected error occurred."},
        {static_cast<HRESULT>(0x8000400C), L"Error 0x8000400C: Could not allocate thread local storage channel\tcontrol."},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"Error 0x80070002: The system cannot find the file specified."},
        {HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION),
         L"Error 0x80070020: The process cannot access the file because it is being used by another process."},
        {HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL), L"Error 0x80070027: The disk is full."},
        {E_INVALIDARG, L"Error 0x80070057: One or more arguments are invalid."},
        {static_cast<HRESULT>(0x80000003), L"Error 0x80000003: One or more arguments are invalid."},
        {static_cast<HRESULT>(0x80045000), L"Error 0x80045000: The device is busy and cannot satisfy the new request."},
        {static_cast<HRESULT>(0x80045007),
         L"Error 0x80045007: Operations were called in the wrong order. (For example, calling Read without Open.)"},
        {static_cast<HRESULT>(0x8004500B), L"Error 0x8004500B: The user cancelled the operation."},
        {static_cast<HRESULT>(0xA0040201), L"Error 0xA0040201: The user cancelled the operation."},
        {static_cast<HRESULT>(0xA0040204),
         L"Error 0xA0040204: Attempt to start a conversion while a previous conversion is still in progress."},
        {static_cast<HRESULT>(0xA0040205), L"Error 0xA0040205: Access to the iTunes Store is disabled in the preferences."},
        {static_cast<HRESULT>(0xA0040207), L"Error 0xA0040207: Access to podcasts is disabled in the preferences."},
    };
    const CErrorTable table;
    for (const Case& c : cases)
        EXPECT_EQ(CString(c.text), table.FormatErrorText(c.code)) << U8(c.text);
}

TEST(ErrorTable, UnknownCodesAndSuccessHaveNoMessage)
{
    const CErrorTable table;
    EXPECT_EQ(CString(L"Error 0x00000000"), table.FormatErrorText(S_OK));
    EXPECT_EQ(CString(L"Error 0x00000001"), table.FormatErrorText(S_FALSE));
    EXPECT_EQ(CString(L"Error 0x8007000C"), table.FormatErrorText(static_cast<HRESULT>(0x8007000C)));
    EXPECT_EQ(CString(L"Error 0xDEADBEEF"), table.FormatErrorText(static_cast<HRESULT>(0xDEADBEEF)));
}

TEST(ErrorTable, EveryBuiltInCodeHasAOneSentenceMessage)
{
    const unsigned codes[] = {
        // general
        0x80000001, 0x80000002, 0x80000003, 0x80000004, 0x80000005, 0x80000006, 0x80000007, 0x80000008, 0x80000009,
        0x8000000A, 0x80004001, 0x80004002, 0x80004003, 0x80004004, 0x80004005, 0x80004006, 0x80004007, 0x80004008,
        0x8000400B, 0x8000400C, 0x8000400D, 0x80004012, 0x80004013, 0x80004014, 0x80004015, 0x80004020, 0x80004021,
        0x80028CA0, 0x80028CA1, 0x80028CA2, 0x80030005, 0x80030006, 0x80030008, 0x80030009, 0x80030057, 0x80030070,
        0x800300FD, 0x800300FE, 0x800300FF, 0x80030100, 0x80030101, 0x80030102, 0x8004000F, 0x80040102, 0x80040150,
        0x80040151, 0x80040152, 0x80040153, 0x80040154, 0x80040155, 0x80040170, 0x800401F3, 0x800401F4, 0x800401F5,
        0x800401F6, 0x80070001, 0x80070002, 0x80070003, 0x80070004, 0x80070005, 0x80070006, 0x80070007, 0x80070008,
        0x80070009, 0x8007000D, 0x8007000E, 0x8007001D, 0x8007001E, 0x8007001F, 0x80070020, 0x80070021, 0x80070024,
        0x80070027, 0x80070056, 0x80070057,
        // device manager and iTunes
        0x80045000, 0x80045001, 0x80045002, 0x80045003, 0x80045004, 0x80045007, 0x80045008, 0x80045009, 0x8004500B,
        0x80045013, 0xA0040201, 0xA0040202, 0xA0040203, 0xA0040204, 0xA0040205, 0xA0040206, 0xA0040207,
    };
    static_assert(sizeof(codes) / sizeof(codes[0]) == 75 + 17);
    const CErrorTable table;
    for (unsigned code : codes) {
        CString prefix;
        prefix.Format(L"Error 0x%.8X: ", code);
        const CString text = table.FormatErrorText(static_cast<HRESULT>(code));
        SCOPED_TRACE(U8(text));
        ASSERT_EQ(prefix, text.Left(prefix.GetLength()));
        const CString message = text.Mid(prefix.GetLength());
        EXPECT_GT(message.GetLength(), 5);
        EXPECT_TRUE(message.Right(1) == L"." || message.Right(2) == L".)");
        EXPECT_EQ(-1, message.FindOneOf(L"\r\n"));
    }
}
