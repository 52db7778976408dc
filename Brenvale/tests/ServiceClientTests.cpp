// The service client: the query it builds, what it takes from a reply, and its requests to
// the loopback server (the exact path and query the server receives, statuses, error replies,
// decoding, failed steps, the size cap) with the detect object's versions, or without the
// object.
#include "ServiceClient.h"

#include "ServiceTestSupport.h"
#include "res/ServiceIds.h"

#include <gtest/gtest.h>

using servicetest::ScopedVariables;

namespace {

TEST(ServiceQuery, ValuesArePercentEncodedAndTheIdIsNamedForItsService)
{
    const wchar_t updates[] = L"http://a.example/ZKY/ZKYUpdateService.svc/CheckForUpdates";
    const wchar_t messages[] = L"http://a.example/ZKY/ZKYMessageService.svc/CheckForMessages";
    const struct {
        const wchar_t* url;
        const wchar_t* os;
        const wchar_t* console;
        const wchar_t* id;
        const wchar_t* query;
    } cases[] = {
        {updates, L"6.1.7601", L"3.6.0.0", nullptr, L"PlatformID=WIN&OSVersion=6.1.7601&ZKYVersion=3.6.0.0"},
        {updates, L"6.1.7601", L"3.6.0.0", L"", L"PlatformID=WIN&OSVersion=6.1.7601&ZKYVersion=3.6.0.0"},
        {updates, L"6.1", L"3.6.0.0", L"T-1_a.b~c",
         L"PlatformID=WIN&OSVersion=6.1&ZKYVersion=3.6.0.0&MediaID=T-1_a.b~c"},
        {messages, L"6.1", L"3.6.0.0", L"M7", L"PlatformID=WIN&OSVersion=6.1&ZKYVersion=3.6.0.0&LastMessageID=M7"},
        // A URL of neither service sends no id.
        {L"http://a.example/Other", L"6.1", L"3.6.0.0", L"M7", L"PlatformID=WIN&OSVersion=6.1&ZKYVersion=3.6.0.0"},
        // Blanks, separators of the query and characters beyond ASCII are escaped.
        {updates, L"6.1.7601 SP1", L"3.6&x=1", L"Title 7&MediaID=evil#%",
         L"PlatformID=WIN&OSVersion=6.1.7601%20SP1&ZKYVersion=3.6%26x%3D1&MediaID=Title%207%26MediaID%3Devil%23%25"},
        {messages, L"", L"", L"caf\u00e9/\u65e5+?",
         L"PlatformID=WIN&OSVersion=&ZKYVersion=&LastMessageID=caf%C3%A9%2F%E6%97%A5%2B%3F"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.query), BuildServiceQuery(c.url, c.os, c.console, c.id)) << CString(c.query).ToNarrow();
}

TEST(ServiceReply, AnElementIsTheTextBetweenTheFirstOpeningTagAndTheNextClosingTag)
{
    const struct {
        const wchar_t* reply;
        const wchar_t* value;
    } cases[] = {
        {L"<R><LatestVersion>3.7.0.0</LatestVersion></R>", L"3.7.0.0"},
        {L"<LatestVersion> 3.7 \r\n</LatestVersion>", L" 3.7 \r\n"},          // as it stands
        {L"<LatestVersion>a &amp; b</LatestVersion>", L"a &amp; b"},          // no entities decoded
        {L"<LatestVersion>1</LatestVersion><LatestVersion>2</LatestVersion>", L"1"},
        {L"</LatestVersion><LatestVersion>x</LatestVersion>", L"x"},         // a closing tag before counts not
        {L"<LatestVersion>x<LatestVersion>y</LatestVersion>", L"x<LatestVersion>y"},
        {L"<LatestVersion></LatestVersion>", L""},
        {L"<LatestVersion>never closed", L""},
        {L"<latestversion>case</latestversion>", L""},
        {L"<LatestVersion attr=\"1\">x</LatestVersion>", L""},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.value), FindReplyElement(c.reply, L"LatestVersion")) << CString(c.reply).ToNarrow();
}

TEST(ServiceReply, ARefusedRequestSaysWhatTheServiceSaid)
{
    const struct {
        const wchar_t* body;
        const wchar_t* text;
    } cases[] = {
        {L"<Fault><ErrorCode>17</ErrorCode><ErrorMessage>Down</ErrorMessage></Fault>", L"Error 17: Down."},
        {L"<Fault><ErrorCode>17</ErrorCode><ErrorMessage>Down</ErrorMessage><ErrorDetails>maintenance</ErrorDetails>"
         L"</Fault>",
         L"Error 17: Down (maintenance)."},
        {L"<ErrorDetails>only</ErrorDetails><ErrorCode>3</ErrorCode><ErrorMessage>%s %d</ErrorMessage>",
         L"Error 3: %s %d (only)."},
        // Without both code and message: the service's NotImplemented, else the body.
        {L"<ErrorCode>17</ErrorCode><ErrorMessage></ErrorMessage> NotImplemented",
         L"Error Status Code: 'NotImplemented'.  If this problem persists, please contact customer support."},
        {L"<string>NotImplemented</string>",
         L"Error Status Code: 'NotImplemented'.  If this problem persists, please contact customer support."},
        {L"<ErrorMessage>Down</ErrorMessage>", L"<ErrorMessage>Down</ErrorMessage>"},
        {L"status 503", L"status 503"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.text), DescribeServiceFailure(c.body)) << CString(c.body).ToNarrow();
}

class ServiceRequest : public servicetest::ServiceServerSuite {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(ServiceRequest, TheQueryFollowsTheObjectPathOrItsOwnQuery)
{
    s_server->Script(L"CheckForUpdates", 200, "<ok/>");
    const struct {
        const wchar_t* path;
        const wchar_t* query;
        const char* received;
    } cases[] = {
        {L"/ZKY/ZKYUpdateService.svc/CheckForUpdates", L"a=1&b=2", "/ZKY/ZKYUpdateService.svc/CheckForUpdates?a=1&b=2"},
        {L"/ZKY/ZKYUpdateService.svc/CheckForUpdates?Version=2", L"a=1",
         "/ZKY/ZKYUpdateService.svc/CheckForUpdates?Version=2&a=1"},
        {L"/ZKY/ZKYUpdateService.svc/CheckForUpdates?Version=2", L"", "/ZKY/ZKYUpdateService.svc/CheckForUpdates?Version=2"},
        {L"/ZKY/ZKYUpdateService.svc/CheckForUpdates", L"", "/ZKY/ZKYUpdateService.svc/CheckForUpdates"},
    };
    for (const auto& c : cases) {
        CString reply;
        DWORD status = 0;
        EXPECT_TRUE(SendServiceRequest(s_server->Url(c.path), c.query, L"", reply, status, L"", L"")) << c.received;
        EXPECT_EQ(200u, status);
        EXPECT_EQ(CString(L"<ok/>"), reply);
        EXPECT_EQ(std::string(c.received), s_server->LastRequest());
    }
}

TEST_F(ServiceRequest, StatusesFrom200To304SucceedAndTheBodyOfOthersIsDescribed)
{
    const struct {
        int status;
        std::string body;
        BOOL result;
        const wchar_t* reply;
    } cases[] = {
        {200, "<MessageID>5</MessageID>", TRUE, L"<MessageID>5</MessageID>"},
        {204, "", TRUE, L""},
        {304, "", TRUE, L""},
        // Decoded once, as UTF-8 where the bytes are UTF-8, else in the ANSI code page.
        {200, "caf\xC3\xA9 \xE6\x97\xA5\xC2\xA0!", TRUE, L"caf\u00e9 \u65e5\u00a0!"},
        {200, "caf\xE9", TRUE, L"caf\u00e9"},
        {500, "<ErrorCode>17</ErrorCode><ErrorMessage>Down</ErrorMessage>", FALSE, L"Error 17: Down."},
        {501, "NotImplemented",
         FALSE, L"Error Status Code: 'NotImplemented'.  If this problem persists, please contact customer support."},
        {404, "<html><body>Not here</body></html>", FALSE, L"<html><body>Not here</body></html>"},
        {199, "early", FALSE, L"early"},
        {305, "use proxy", FALSE, L"use proxy"},
    };
    for (const auto& c : cases) {
        s_server->Script(L"CheckForMessages", c.status, c.body);
        CString reply;
        DWORD status = 0;
        EXPECT_EQ(c.result, SendServiceRequest(s_server->Url(L"/ZKY/ZKYMessageService.svc/CheckForMessages"),
                                               L"x=1", L"check for messages", reply, status, L"", L""))
            << c.status;
        EXPECT_EQ(static_cast<DWORD>(c.status), status);
        EXPECT_EQ(CString(c.reply), reply) << c.status;
    }
}

TEST_F(ServiceRequest, ABadUrlOrAFailedStepIsNamedWithTheActivity)
{
    const CString tail = L").  Please check your Internet connection; you must be connected to the Internet to ";
    const struct {
        CString url;
        const wchar_t* activity;
        const wchar_t* start;  // of the reply; the system's error text follows
        const wchar_t* end;
    } cases[] = {
        {L"ftp://127.0.0.1/CheckForUpdates", L"check for updates", L"The checking URL \"ftp://127.0.0.1/CheckForUpdates\" is not valid.", L""},
        {L"no url at all", L"x", L"The checking URL \"no url at all\" is not valid.", L""},
        // Nothing listens on port 1: the request cannot be sent.
        {L"http://127.0.0.1:1/ZKY/ZKYUpdateService.svc/CheckForUpdates", L"check for updates",
         L"A connection to the Internet could not be established (", L"check for updates."},
        {L"http://127.0.0.1:1/", L"", L"A connection to the Internet could not be established (", L"HTTP request."},
        // A body that ends before its Content-Length has lost the connection.
        {s_server->Url(L"/truncated/5000/100"), L"check for messages", L"The connection to the Internet has been lost (",
         L"check for messages."},
    };
    for (const auto& c : cases) {
        CString reply;
        DWORD status = 0;
        EXPECT_FALSE(SendServiceRequest(c.url, L"", c.activity, reply, status, L"", L"")) << c.url.ToNarrow();
        EXPECT_EQ(0, reply.Find(c.start)) << reply.ToNarrow();
        if (*c.end) {
            EXPECT_NE(-1, reply.Find(tail)) << reply.ToNarrow();
            EXPECT_EQ(CString(c.end), reply.Right(static_cast<int>(wcslen(c.end)))) << reply.ToNarrow();
            EXPECT_EQ(-1, reply.Find(L"\n")) << reply.ToNarrow();
        } else {
            EXPECT_EQ(CString(c.start), reply);
        }
    }
}

TEST_F(ServiceRequest, ALongReplyIsCutAtTheCap)
{
    CString reply;
    DWORD status = 0;
    EXPECT_TRUE(SendServiceRequest(s_server->Url(L"/file/3000000"), L"", L"", reply, status, L"", L""));
    EXPECT_EQ(static_cast<int>(kMaxServiceReplyBytes), reply.GetLength());
    EXPECT_EQ(L'\x01', reply[1]);
}

TEST_F(ServiceRequest, TheChecksSendTheDetectObjectsVersionsAndHandBackTheInstalledOne)
{
    ScopedVariables versions{{L"VESPERLIN_DETECT_CONSOLE_VERSION", L"3.6.0.12"},
                              {L"VESPERLIN_DETECT_OS_VERSION", L"6.1.7601 SP1"}};
    s_server->Script(L"CheckForUpdates", 304, "");
    s_server->Script(L"CheckForMessages", 200, "<MessageID>9</MessageID>");
    const struct {
        const wchar_t* path;
        const wchar_t* id;
        DWORD status;
        const char* received;
    } cases[] = {
        {L"/ZKY/ZKYUpdateService.svc/CheckForUpdates", nullptr, 304,
         "/ZKY/ZKYUpdateService.svc/CheckForUpdates?PlatformID=WIN&OSVersion=6.1.7601%20SP1&ZKYVersion=3.6.0.12"},
        {L"/ZKY/ZKYUpdateService.svc/CheckForUpdates", L"Title 7&x=1", 304,
         "/ZKY/ZKYUpdateService.svc/CheckForUpdates?PlatformID=WIN&OSVersion=6.1.7601%20SP1&ZKYVersion=3.6.0.12"
         "&MediaID=Title%207%26x%3D1"},
        {L"/ZKY/ZKYMessageService.svc/CheckForMessages", L"8", 200,
         "/ZKY/ZKYMessageService.svc/CheckForMessages?PlatformID=WIN&OSVersion=6.1.7601%20SP1&ZKYVersion=3.6.0.12"
         "&LastMessageID=8"},
    };
    for (const auto& c : cases) {
        CString reply, installed;
        DWORD status = 0;
        EXPECT_TRUE(CheckForUpdatesOrMessages(s_server->Url(c.path), c.id, reply, installed, status, L"", L""));
        EXPECT_EQ(c.status, status);
        EXPECT_EQ(CString(L"3.6.0.12"), installed);
        EXPECT_EQ(std::string(c.received), s_server->LastRequest());
    }

    // The activity words follow the service the URL names.
    const struct {
        const wchar_t* url;
        const wchar_t* words;
    } words[] = {
        {L"http://127.0.0.1:1/ZKY/ZKYUpdateService.svc/CheckForUpdates", L"to check for updates."},
        {L"http://127.0.0.1:1/ZKY/ZKYMessageService.svc/CheckForMessages", L"to check for messages."},
        {L"http://127.0.0.1:1/ZKY/Other.svc/Check", L"to proceed with this checking."},
    };
    for (const auto& w : words) {
        CString reply, installed;
        DWORD status = 0;
        EXPECT_FALSE(CheckForUpdatesOrMessages(w.url, L"1", reply, installed, status, L"", L""));
        EXPECT_EQ(CString(w.words), reply.Right(static_cast<int>(wcslen(w.words)))) << reply.ToNarrow();
    }
}

TEST_F(ServiceRequest, WithoutTheDetectObjectNothingIsAskedAndTheReplySaysWhy)
{
    ScopedVariables unavailable{{L"VESPERLIN_DETECT_UNAVAILABLE", L"1"}};
    const size_t before = s_server->RequestCount();
    CString reply, installed = L"stale";
    DWORD status = 7;
    EXPECT_FALSE(CheckForUpdatesOrMessages(s_server->Url(L"/ZKY/ZKYUpdateService.svc/CheckForUpdates"), nullptr,
                                           reply, installed, status, L"", L""));
    const CString start = L"Unable to create the ZKY detect object used to get version information (";
    EXPECT_EQ(0, reply.Find(start)) << reply.ToNarrow();
    EXPECT_EQ(CString(L")."), reply.Right(2));
    EXPECT_GT(reply.GetLength(), start.GetLength() + 2);  // the system's text of the failure
    EXPECT_EQ(-1, reply.Find(L"\n"));
    EXPECT_TRUE(installed.IsEmpty());
    EXPECT_EQ(0u, status);
    EXPECT_EQ(before, s_server->RequestCount());
}

}  // namespace
