#include "TitleFixtures.h"

#include "FileUtils.h"

namespace wizardtest {

namespace {

std::wstring Escaped(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t ch : text) {
        switch (ch) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        default: out += ch;
        }
    }
    return out;
}

}  // namespace

std::wstring ConsolePlaylistText(const std::vector<std::wstring>& partPaths)
{
    std::wstring text = L"<asx version=\"3.0\">\r\n";
    for (const std::wstring& path : partPaths)
        text += L"\t<entry>\r\n\t\t<ref href=\"" + Escaped(path) + L"\"/>\r\n\t</entry>\r\n";
    return text + L"</asx>";
}

void WriteUtf16File(const CString& path, const std::wstring& text)
{
    testsupport::WriteAll(path, std::string("\xFF\xFE", 2) + testsupport::Utf16LeBytes(text.c_str()));
}

void WriteConsolePlaylist(const CString& path, const std::vector<std::wstring>& partPaths, bool unicode)
{
    const std::wstring text = ConsolePlaylistText(partPaths);
    if (unicode)
        WriteUtf16File(path, text);
    else
        testsupport::WriteAll(path, CString(text).ToNarrow());
}

std::wstring OrderFileText(const wchar_t* id, const wchar_t* title, const wchar_t* thumbnailUrl, const wchar_t* sourceId,
                           const std::vector<std::wstring>& partFileNames)
{
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<VesperlinMedia id=\"" + std::wstring(id) +
                        L"\" VPMVersion=\"3.0.0.0\" ZKYVersion=\"3.6.0.0\">\r\n";
    text += L"\t<Metadata>\r\n\t\t<ContentType>MP3 Audiobook</ContentType>\r\n\t\t<Title><![CDATA[" + std::wstring(title) +
            L"]]></Title>\r\n\t\t<ThumbnailUrl>" + thumbnailUrl + L"</ThumbnailUrl>\r\n\t</Metadata>\r\n";
    text += L"\t<Formats><Format><Protocols><Protocol method=\"download\" baseurl=\"http://127.0.0.1/\"/></Protocols>"
            L"<Parts>\r\n";
    int number = 1;
    for (const std::wstring& name : partFileNames) {
        text += L"\t\t<Part number=\"" + std::to_wstring(number) + L"\" filesize=\"5\" name=\"Part " +
                std::to_wstring(number) + L"\" filename=\"" + name + L"\" duration=\"0:03\"/>\r\n";
        ++number;
    }
    text += L"\t</Parts></Format></Formats>\r\n";
    text += L"\t<Source id=\"" + std::wstring(sourceId) +
            L"\"><Name>Harbour Library</Name><WebsiteUrl>http://127.0.0.1/</WebsiteUrl><BannerUrl>http://127.0.0.1/b.png"
            L"</BannerUrl><AccentColor>#336699</AccentColor></Source>\r\n";
    return text + L"</VesperlinMedia>\r\n";
}

CString MakeTitleFolder(const testsupport::ScratchFolder& scratch, const wchar_t* name, int parts, const wchar_t* title,
                        bool unicodePlaylist, const wchar_t* extension)
{
    const CString folder = scratch / name;
    CreateFolderPath(folder);
    std::vector<std::wstring> paths;
    std::vector<std::wstring> names;
    for (int i = 1; i <= parts; ++i) {
        CString file;
        file.Format(L"%s-Part%02d.%s", name, i, extension);
        const CString path = folder + L"\\" + file;
        testsupport::WriteAll(path, std::string("audio"));
        paths.push_back(path.str());
        names.push_back(file.str());
    }
    const CString playlist = folder + L"\\" + name + L".wax";
    WriteConsolePlaylist(playlist, paths, unicodePlaylist);
    WriteUtf16File(folder + L"\\" + name + L".vpm",
                   OrderFileText(L"title-7", title, L"http://127.0.0.1/Img100/cover.jpg", L"src9", names));
    return playlist;
}

}  // namespace wizardtest
