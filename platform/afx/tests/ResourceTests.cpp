// Texts of the resource module's string table: loading, formatting, the application's
// title and the boxes that take a string id.
#include "AfxTestIds.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(StringTable, LoadsAndFormatsTextsOfTheResourceModule)
{
    CString text;
    ASSERT_TRUE(text.LoadString(AFX_IDS_APP_TITLE));
    EXPECT_EQ(text, L"Vesperlin Class Library Test");
    EXPECT_EQ(AfxLoadString(IDS_TEST_WIDE), L"caf\u00e9 \u4e2d");
    text.Format(IDS_TEST_FORMAT, L"Book", 3, L"ok");
    EXPECT_EQ(text, L"Book has 3 parts (ok).");
    EXPECT_EQ(AfxFormatString(IDS_TEST_FORMAT, L"Song", 1, L"x"), L"Song has 1 parts (x).");

    // A missing id empties the text and says so.
    text = L"stale";
    EXPECT_FALSE(text.LoadString(999));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_TRUE(AfxLoadString(999).IsEmpty());
    EXPECT_TRUE(AfxFormatString(999, 1).IsEmpty());
}

TEST(StringTable, TheApplicationIsNamedByItsTitleAndBoxesLoadTheirText)
{
    CWinApp app(nullptr);
    EXPECT_EQ(CString(app.m_pszAppName), L"Vesperlin Class Library Test");
    EXPECT_EQ(AfxGetApp(), &app);
    app.SetRegistryKey(L"Vesperlin Tests");
    EXPECT_EQ(CString(app.m_pszProfileName), L"Vesperlin Class Library Test");

    testsupport::MessageBoxRecorder boxes;
    AfxMessageBox(IDS_TEST_WIDE, MB_OK);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"caf\u00e9 \u4e2d");
    EXPECT_EQ(boxes.Boxes()[0].helpId, static_cast<UINT>(IDS_TEST_WIDE));
}
