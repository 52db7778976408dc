// The scripted loopback HTTP server of the download tests (http_server.py), run as a host
// process for the lifetime of a test program.
#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class HttpTestServer {
public:
    // Starts the server; false when it did not come up within a few seconds.
    bool Start(const std::string& rootFolder = std::string());
    // Starts it speaking HTTPS with a self-signed certificate for 127.0.0.1 (made by openssl),
    // which no system trusts.
    bool StartHttps();
    // Starts it as a proxy as well, one that wants the credentials "user:password".
    bool StartProxy(const std::string& credentials);
    void Stop();
    ~HttpTestServer() { Stop(); }

    int Port() const { return m_port; }
    // "http://127.0.0.1:<port><path>" ("https://" for a server started with StartHttps)
    CString Url(const wchar_t* path) const;
    // The request log: one JSON line per request received so far.
    std::vector<std::string> Requests() const;
    // The lines of the log whose path is exactly path.
    std::vector<std::string> RequestsFor(const std::string& path) const;

private:
    bool Launch(const std::string& options);

    testsupport::ScratchFolder* m_folder = nullptr;
    bool m_secure = false;
    int m_port = 0;
    int m_pid = 0;
};

// The bytes of the server's bodies: position i holds i % 251.
std::vector<BYTE> ServerBody(size_t n);

// A test suite sharing one loopback server among its tests: an HttpTestServer, or a class
// around one with the same Start().
template <class Server>
class ServerSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_server = new Server;
        ASSERT_TRUE(s_server->Start()) << "the loopback HTTP server did not start";
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    inline static Server* s_server = nullptr;
};
using HttpServerSuite = ServerSuite<HttpTestServer>;
