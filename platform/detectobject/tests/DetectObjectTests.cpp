// The detect object stand-in created by its ProgID and read through the dispatch driver, the
// driver's failures, and a failed call inside a window procedure stopping at the boundary.
#include "ComTestSupport.h"
#include "DetectObject.h"
#include "OleDispatchDriver.h"
#include "WindowTestSupport.h"
#include "Wnd.h"

#include <gtest/gtest.h>

namespace {

const wchar_t* const kVariables[] = {L"VESPERLIN_DETECT_CONSOLE_VERSION", L"VESPERLIN_DETECT_PLAYER_VERSION",
                                     L"VESPERLIN_DETECT_PLATFORM_VERSION", L"VESPERLIN_DETECT_OS_VERSION",
                                     L"VESPERLIN_DETECT_UNAVAILABLE"};

class DetectObject : public ::testing::Test {
protected:
    void SetUp() override { ClearVariables(); }
    void TearDown() override { ClearVariables(); }
    static void ClearVariables()
    {
        for (const wchar_t* name : kVariables)
            SetEnvironmentVariableW(name, nullptr);
    }
    static CString Read(COleDispatchDriver& detect, DISPID id)
    {
        CString text = L"<unset>";
        detect.InvokeHelper(id, DISPATCH_METHOD, VT_BSTR, &text);
        return text;
    }
    comtest::ApartmentScope m_com;
};

TEST_F(DetectObject, IsRegisteredUnderItsProgIdInProcessForAnyThread)
{
    const CString clsid = L"CLSID\\" + comtest::GuidString(CLSID_ZKYDetectObject);
    EXPECT_EQ(comtest::GuidString(CLSID_ZKYDetectObject), comtest::ReadText(L"Vesperlin.ZKYDetectObject\\CLSID"))
        << "scripts/test.sh registers ZKYDetect.dll in the test prefix";
    EXPECT_EQ(CString(L"Vesperlin.ZKYDetectObject.1"), comtest::ReadText(L"Vesperlin.ZKYDetectObject\\CurVer"));
    EXPECT_EQ(CString(L"Both"), comtest::ReadText(clsid + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_NE(-1, comtest::ReadText(clsid + L"\\InprocServer32").Find(L"ZKYDetect.dll"));
}

TEST_F(DetectObject, AnswersTheVersionsATestSetsByDispatchId)
{
    const struct {
        DISPID id;
        const wchar_t* variable;
        const wchar_t* value;
    } cases[] = {
        {DISPID_DETECT_CONSOLE_VERSION, L"VESPERLIN_DETECT_CONSOLE_VERSION", L"3.7.1.5"},
        {DISPID_DETECT_PLAYER_VERSION, L"VESPERLIN_DETECT_PLAYER_VERSION", L"12.0.7601.17514"},
        {DISPID_DETECT_PLATFORM_VERSION, L"VESPERLIN_DETECT_PLATFORM_VERSION", L"11.0.5721.5145"},
        {DISPID_DETECT_OS_VERSION, L"VESPERLIN_DETECT_OS_VERSION", L"6.1.7601 Service Pack 1"},
    };
    for (const auto& c : cases)
        SetEnvironmentVariableW(c.variable, c.value);
    COleDispatchDriver detect;
    ASSERT_EQ(S_OK, detect.CreateDispatch(kDetectObjectProgId));
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.value), Read(detect, c.id)) << c.id;

    // Read afresh at every call; an empty value answers an empty text.
    SetEnvironmentVariableW(L"VESPERLIN_DETECT_CONSOLE_VERSION", L"");
    EXPECT_EQ(CString(), Read(detect, DISPID_DETECT_CONSOLE_VERSION));
}

TEST_F(DetectObject, DefaultsComeFromTheSystem)
{
    COleDispatchDriver detect;
    ASSERT_EQ(S_OK, detect.CreateDispatch(kDetectObjectProgId));
    EXPECT_EQ(CString(L"3.6.0.0"), Read(detect, DISPID_DETECT_CONSOLE_VERSION));
    // Four numbers from the player's and the media platform's files, three from the system.
    for (DISPID id : {DISPID_DETECT_PLAYER_VERSION, DISPID_DETECT_PLATFORM_VERSION, DISPID_DETECT_OS_VERSION}) {
        const CString text = Read(detect, id);
        int dots = 0;
        for (int i = 0; i < text.GetLength(); ++i)
            dots += text[i] == L'.';
        EXPECT_EQ(id == DISPID_DETECT_OS_VERSION ? 2 : 3, dots) << text.ToNarrow();
        EXPECT_EQ(text.GetLength(), text.SpanIncluding(L"0123456789.").GetLength()) << text.ToNarrow();
    }
}

TEST_F(DetectObject, AbsentObjectGivesTheCreationFailureAndNoObject)
{
    SetEnvironmentVariableW(L"VESPERLIN_DETECT_UNAVAILABLE", L"1");
    COleDispatchDriver detect;
    const HRESULT hr = detect.CreateDispatch(kDetectObjectProgId);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, hr);
    EXPECT_EQ(nullptr, detect.m_lpDispatch);
    // The text the caller puts into its message.
    EXPECT_FALSE(COleException(hr).GetErrorMessage().IsEmpty());
    EXPECT_EQ(E_POINTER, detect.TryInvoke(DISPID_DETECT_CONSOLE_VERSION, DISPATCH_METHOD, nullptr));
    EXPECT_THROW(Read(detect, DISPID_DETECT_CONSOLE_VERSION), COleDispatchException);

    EXPECT_EQ(CO_E_CLASSSTRING, detect.CreateDispatch(L"Vesperlin.NoSuchObject"));
}

TEST_F(DetectObject, FailedCallsThrowTheirCodeOrHandItBack)
{
    COleDispatchDriver detect;
    ASSERT_EQ(S_OK, detect.CreateDispatch(kDetectObjectProgId));
    try {
        Read(detect, 99);
        ADD_FAILURE() << "no exception";
    } catch (const COleDispatchException& e) {
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, e.m_scError);
        EXPECT_FALSE(e.GetErrorMessage().IsEmpty());
    }
    VARIANT result;
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, detect.TryInvoke(99, DISPATCH_METHOD, &result));
    EXPECT_EQ(VT_EMPTY, result.vt);
    // A result that does not convert to the asked type.
    long number = 7;
    SetEnvironmentVariableW(L"VESPERLIN_DETECT_CONSOLE_VERSION", L"not a number");
    EXPECT_THROW(detect.InvokeHelper(DISPID_DETECT_CONSOLE_VERSION, DISPATCH_METHOD, VT_I4, &number),
                 COleDispatchException);
    EXPECT_EQ(7, number);
    // Detached, the driver no longer releases the object.
    IDispatch* raw = detect.DetachDispatch();
    ASSERT_NE(nullptr, raw);
    EXPECT_EQ(nullptr, detect.m_lpDispatch);
    COleDispatchDriver borrowed(raw, FALSE);
    EXPECT_EQ(CString(L"not a number"), Read(borrowed, DISPID_DETECT_CONSOLE_VERSION));
    borrowed.ReleaseDispatch();
    EXPECT_EQ(0u, raw->Release());
}

// A window whose handler makes a failing call: the exception stops at the window procedure
// and is reported through the message-box funnel.
class CFailingCallWnd : public CWnd {
public:
    COleDispatchDriver* detect = nullptr;
    bool reachedEnd = false;

protected:
    void OnTimer(UINT_PTR) override
    {
        KillTimer(1);
        CString text;
        detect->InvokeHelper(42, DISPATCH_METHOD, VT_BSTR, &text);
        reachedEnd = true;
    }
};

TEST_F(DetectObject, AFailedCallInAWindowProcedureIsReportedAtTheBoundary)
{
    testsupport::MessageBoxRecorder boxes;
    COleDispatchDriver detect;
    ASSERT_EQ(S_OK, detect.CreateDispatch(kDetectObjectProgId));
    CFailingCallWnd wnd;
    wnd.detect = &detect;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"caller", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr));
    wnd.SetTimer(1, 1);
    for (int i = 0; i < 100 && boxes.Boxes().empty(); ++i)
        testsupport::PumpMessages(20);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_FALSE(wnd.reachedEnd);
    EXPECT_EQ(COleDispatchException(DISP_E_MEMBERNOTFOUND).GetErrorMessage(), boxes.Boxes()[0].text);
    EXPECT_TRUE(::IsWindow(wnd.m_hWnd));
}

}  // namespace
