// The message-box funnel (what a handler is asked, the owner and caption it is given, the
// string-table form) and the exceptions that report themselves through it.
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(MessageBoxFunnel, HandlersSeeEveryBoxWithTheProgramsOwnerAndCaption)
{
    AfxSetMessageBoxCaption(L"Funnel Test");
    std::vector<AfxMessageBoxRequest> seen;
    AfxMessageBoxHandler previous = AfxSetMessageBoxHandler([&seen](const AfxMessageBoxRequest& request) {
        seen.push_back(request);
        return IDNO;
    });

    EXPECT_EQ(AfxMessageBox(L"Delete it?", MB_YESNO | MB_ICONQUESTION, 42), IDNO);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Delete it?");
    EXPECT_EQ(seen[0].caption, L"Funnel Test");
    EXPECT_EQ(seen[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(seen[0].helpId, 42u);
    EXPECT_EQ(seen[0].owner, nullptr);

    // The owner window is used while it exists, and dropped once it is gone.
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(owner, nullptr);
    AfxSetMessageBoxOwner(owner);
    AfxMessageBox(L"owned");
    EXPECT_EQ(seen.back().owner, owner);
    DestroyWindow(owner);
    AfxMessageBox(L"orphan");
    EXPECT_EQ(seen.back().owner, nullptr);
    AfxSetMessageBoxOwner(nullptr);

    // A string-table id that is missing gives an empty text; the id is the help id unless one is given.
    AfxMessageBox(65000u, MB_OK);
    EXPECT_TRUE(seen.back().text.IsEmpty());
    EXPECT_EQ(seen.back().helpId, 65000u);
    AfxMessageBox(65000u, MB_OK, 7);
    EXPECT_EQ(seen.back().helpId, 7u);

    // An explicit owner and caption pass as given.
    AfxShowMessageBox(nullptr, L"text", L"Own Caption", MB_OKCANCEL);
    EXPECT_EQ(seen.back().caption, L"Own Caption");

    // Putting the old handler back returns the one that was installed.
    AfxMessageBoxHandler ours = AfxSetMessageBoxHandler(std::move(previous));
    EXPECT_TRUE(static_cast<bool>(ours));
    AfxSetMessageBoxCaption(nullptr);
}

TEST(Exceptions, TextsInBothFormsAndReportsThroughTheFunnel)
{
    testsupport::MessageBoxRecorder boxes(IDRETRY);
    const CFileException missing(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, L"C:\\x\\book.mp3");
    EXPECT_EQ(missing.GetErrorMessage(), L"C:\\x\\book.mp3 was not found.");
    EXPECT_EQ(missing.ReportError(MB_RETRYCANCEL), IDRETRY);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, missing.GetErrorMessage());
    EXPECT_EQ(boxes.Boxes()[0].type, static_cast<UINT>(MB_RETRYCANCEL));

    // The buffer form is cut to the buffer and always ended.
    const CException& base = missing;
    wchar_t buffer[8];
    UINT help = 99;
    EXPECT_TRUE(base.GetErrorMessage(buffer, 8, &help));
    EXPECT_STREQ(buffer, L"C:\\x\\bo");
    EXPECT_EQ(help, 0u);
    EXPECT_FALSE(base.GetErrorMessage(nullptr, 8));
    EXPECT_FALSE(base.GetErrorMessage(buffer, 0));

    // An OLE failure names the system's text, or its code when the system has none.
    EXPECT_FALSE(COleException(E_OUTOFMEMORY).GetErrorMessage().IsEmpty());
    EXPECT_EQ(COleException(static_cast<HRESULT>(0xA0001234)).GetErrorMessage(), L"OLE error 0xA0001234.");
    EXPECT_EQ(AfxSystemErrorText(ERROR_FILE_NOT_FOUND).Right(1), L".") << "trimmed of its line end";
    EXPECT_THROW(AfxThrowOleException(E_FAIL), COleException);
    EXPECT_THROW(AfxThrowUserException(), CUserException);
}
