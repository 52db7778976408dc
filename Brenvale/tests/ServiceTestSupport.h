// What the service tests share: the loopback server with scripted service replies, and the
// detect object's answers set for one test.
#pragma once

#include "HttpTestServer.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace servicetest {

// The loopback server, whose "/ZKY/<service>/<name>" paths answer what Script last set for
// <name> ("CheckForUpdates", "CheckForMessages").
class ServiceServer {
public:
    bool Start();
    void Script(const wchar_t* name, int status, const std::string& body);
    // "http://127.0.0.1:<port>"
    CString Address() const { return m_server.Url(L""); }
    CString Url(const wchar_t* path) const { return m_server.Url(path); }
    // The path and query of the last request (empty before the first).
    std::string LastRequest() const;
    size_t RequestCount() const { return m_server.Requests().size(); }

private:
    testsupport::ScratchFolder m_root;
    HttpTestServer m_server;
};

// A test suite sharing one service server among its tests.
using ServiceServerSuite = ServerSuite<ServiceServer>;

// Sets environment variables of this process (the detect object reads its answers from
// them) and removes them again when it goes.
class ScopedVariables {
public:
    explicit ScopedVariables(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values);
    ~ScopedVariables();
    ScopedVariables(const ScopedVariables&) = delete;
    ScopedVariables& operator=(const ScopedVariables&) = delete;

private:
    std::vector<std::wstring> m_names;
};

// An update service reply of the four elements.
std::string UpdateReply(const char* required, const char* latest, const char* notes, const char* url);

}  // namespace servicetest
