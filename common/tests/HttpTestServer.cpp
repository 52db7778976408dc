#include "HttpTestServer.h"

#include <cstdio>

using namespace testsupport;

bool HttpTestServer::Start(const std::string& rootFolder)
{
    Stop();
    m_folder = new ScratchFolder;
    return Launch(rootFolder.empty() ? std::string() : " --root '" + rootFolder + "'");
}

bool HttpTestServer::StartHttps()
{
    Stop();
    m_folder = new ScratchFolder;
    m_secure = true;
    const std::string folder = UnixPath(m_folder->Path());
    const std::string cert = "'" + folder + "/cert.pem'";
    const std::string key = "'" + folder + "/key.pem'";
    if (RunHostCommand("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                       "-addext subjectAltName=IP:127.0.0.1 -keyout " +
                       key + " -out " + cert + " >/dev/null 2>&1") != 0)
        return false;
    return Launch(" --cert " + cert + " --key " + key);
}

bool HttpTestServer::StartProxy(const std::string& credentials)
{
    Stop();
    m_folder = new ScratchFolder;
    return Launch(" --proxy-auth '" + credentials + "'");
}

bool HttpTestServer::Launch(const std::string& options)
{
    const std::string folder = UnixPath(m_folder->Path());
    const std::string script = UnixPath(SourcePath(L"common/tests/http_server.py"));
    const std::string command = "python3 '" + script + "' --port-file '" + folder + "/port' --log '" + folder +
                                "/requests.log'" + options + " </dev/null >/dev/null 2>&1 &";
    if (RunHostCommand(command) != 0)
        return false;
    const CString portFile = *m_folder / L"port";
    // Python may take many seconds to start on a loaded machine (tests run in parallel).
    for (int i = 0; i < 1200; ++i) {
        std::vector<BYTE> data = ReadAll(portFile);
        if (!data.empty()) {
            std::string text(data.begin(), data.end());
            if (std::sscanf(text.c_str(), "%d %d", &m_port, &m_pid) == 2)
                return true;
        }
        Sleep(50);
    }
    return false;
}

void HttpTestServer::Stop()
{
    if (m_pid > 0)
        RunHostCommand("kill " + std::to_string(m_pid));
    m_pid = 0;
    m_port = 0;
    m_secure = false;
    delete m_folder;
    m_folder = nullptr;
}

CString HttpTestServer::Url(const wchar_t* path) const
{
    CString url;
    url.Format(L"%s://127.0.0.1:%d%s", m_secure ? L"https" : L"http", m_port, path);
    return url;
}

std::vector<std::string> HttpTestServer::Requests() const
{
    std::vector<std::string> lines;
    if (!m_folder)
        return lines;
    std::vector<BYTE> data = ReadAll(*m_folder / L"requests.log");
    std::string text(data.begin(), data.end());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> HttpTestServer::RequestsFor(const std::string& path) const
{
    std::vector<std::string> result;
    const std::string key = "{\"path\": \"" + path + "\",";
    for (const auto& line : Requests())
        if (line.compare(0, key.size(), key) == 0)
            result.push_back(line);
    return result;
}

std::vector<BYTE> ServerBody(size_t n)
{
    std::vector<BYTE> data(n);
    for (size_t i = 0; i < n; ++i)
        data[i] = static_cast<BYTE>(i % 251);
    return data;
}
