#include "ServedTitle.h"

#include "FileUtils.h"

bool ServedTitle::Make(const CString& folder)
{
    m_folder = folder;
    if (!CreateFolderPath(folder))
        return false;
    for (int n = 1; n <= kParts; ++n) {
        if (testsupport::RunHostCommand("ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=" +
                                        std::to_string(300 + 100 * n) + ":duration=" + std::to_string(15 + 5 * n) +
                                        " -b:a 128k " + testsupport::ShellQuoted(PartPath(n))) != 0)
            return false;
    }
    return testsupport::RunHostCommand("ffmpeg -nostdin -v error -y -f lavfi -i color=c=0x2e5c8a:s=120x120 -frames:v 1 " +
                                       testsupport::ShellQuoted(folder + L"\\road.jpg")) == 0;
}

CString ServedTitle::PartName(int n)
{
    CString name;
    name.Format(L"road-part%d.mp3", n);
    return name;
}

void ServedTitle::WriteOrderFile(const CString& path, const HttpTestServer& server, const wchar_t* id,
                                 const wchar_t* titleText) const
{
    CString parts;
    for (int n = 1; n <= kParts; ++n) {
        CString line;
        const LONGLONG size = static_cast<size_t>(n) <= m_announcedSizes.size()
                                  ? m_announcedSizes[static_cast<size_t>(n - 1)]
                                  : static_cast<LONGLONG>(testsupport::ReadAll(PartPath(n)).size());
        line.Format(L"<Part number=\"%d\" filesize=\"%lld\" name=\"Part %d\" filename=\"%s\" duration=\"0:20\"/>", n,
                    size, n, FileNameOf(n).GetString());
        parts += line;
    }
    const CString picture = server.Url(L"/root/road.jpg");
    CString text;
    text.Format(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!doctype VesperlinMedia>\r\n"
                L"<VesperlinMedia id=\"%s\" VPMVersion=\"3.0.0.0\" ZKYVersion=\"3.6.0.0\">"
                L"<WMLicense>road-licence</WMLicense><License>NONE</License>"
                L"<Metadata><ContentType>MP3 Audiobook</ContentType><Title>%s</Title><SortTitle>%s</SortTitle>"
                L"<ThumbnailUrl>%s</ThumbnailUrl>"
                L"<Creators><Creator role=\"author\" file-as=\"Loop, Lena\">Lena Loop</Creator></Creators>"
                L"<Languages><Language code=\"en\">English</Language></Languages></Metadata>"
                L"<Formats><Format name=\"Medium\"><Protocols><Protocol method=\"download\" baseurl=\"%s/\"/></Protocols>"
                L"<Parts count=\"%d\">%s</Parts></Format></Formats>"
                L"<Source id=\"road-shop\"><Name>Road Shop</Name><WebsiteUrl>http://shop.test/</WebsiteUrl>"
                L"<BannerUrl>%s</BannerUrl></Source></VesperlinMedia>",
                id, titleText, titleText, picture.GetString(),
                (m_partsUrl.IsEmpty() ? server.Url(L"/root") : m_partsUrl).GetString(), kParts,
                parts.GetString(), picture.GetString());
    testsupport::WriteAll(path, text.ToNarrow(CP_UTF8));
}
