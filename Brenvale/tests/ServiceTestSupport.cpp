#include "ServiceTestSupport.h"

namespace servicetest {

bool ServiceServer::Start() { return m_server.Start(testsupport::UnixPath(m_root.Path())); }

void ServiceServer::Script(const wchar_t* name, int status, const std::string& body)
{
    testsupport::WriteAll(m_root / (CString(name) + L".status"), std::to_string(status));
    testsupport::WriteAll(m_root / (CString(name) + L".body"), body);
}

std::string ServiceServer::LastRequest() const
{
    const std::vector<std::string> requests = m_server.Requests();
    if (requests.empty())
        return std::string();
    // {"path": "<path>", "headers": ...}: the paths these tests send hold no quotes or escapes.
    const std::string& line = requests.back();
    const std::string key = "{\"path\": \"";
    const size_t end = line.find("\", ", key.size());
    return line.compare(0, key.size(), key) == 0 && end != std::string::npos ? line.substr(key.size(), end - key.size())
                                                                               : std::string();
}

ScopedVariables::ScopedVariables(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values)
{
    for (const auto& [name, value] : values) {
        SetEnvironmentVariableW(name, value);
        m_names.emplace_back(name);
    }
}

ScopedVariables::~ScopedVariables()
{
    for (const std::wstring& name : m_names)
        SetEnvironmentVariableW(name.c_str(), nullptr);
}

std::string UpdateReply(const char* required, const char* latest, const char* notes, const char* url)
{
    return std::string("<?xml version=\"1.0\"?><CheckForUpdatesResult><RequiredVersion>") + required +
           "</RequiredVersion><LatestVersion>" + latest + "</LatestVersion><LatestNotes>" + notes +
           "</LatestNotes><LatestURL>" + url + "</LatestURL></CheckForUpdatesResult>";
}

}  // namespace servicetest
