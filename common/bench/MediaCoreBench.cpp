// Times the media core on library-sized data: parsing an order file of 1,000 parts,
// storing and loading an archive of 10,000 titles.
#include "BenchClock.h"
#include "MediaObject.h"
#include "XmlNode.h"

#include <cstdio>
#include <memory>

namespace {

CString OrderDocument(int parts)
{
    CString doc =
        L"<?xml version=\"1.0\"?><VesperlinMedia id=\"{BENCH}\" VPMVersion=\"3.0.0.0\"><WMLicense>NONE</WMLicense>"
        L"<![CDATA[<Metadata><ContentType>MP3 Audiobook</ContentType><Title>Bench &amp; Mark</Title>"
        L"<SortTitle>Bench</SortTitle><Creators><Creator role=\"author\" file-as=\"A, B\">B A</Creator></Creators>"
        L"<Description>A long &lt;description&gt; &eacute;</Description></Metadata>]]><Formats><Format name=\"M\">"
        L"<Protocols><Protocol method=\"download\" baseurl=\"http://m.test/b\"/></Protocols><Parts count=\"1000\">";
    for (int n = 1; n <= parts; ++n)
        doc.AppendFormat(L"<Part number=\"%d\" filesize=\"%d\" name=\"Part %d\" filename=\"bench-fmt425-%04d.mp3\" "
                         L"duration=\"0:59:%02d\"/>",
                         n, 1000000 + n, n, n, n % 60);
    doc += L"</Parts></Format></Formats><Source id=\"s\"><Name>S</Name><WebsiteUrl>http://s.test</WebsiteUrl>"
           L"</Source></VesperlinMedia>";
    return doc;
}

}  // namespace

int main()
{
    BuildEntityTable();
    const CString document = OrderDocument(1000);
    const int rounds = 20;
    double start = Now();
    for (int i = 0; i < rounds; ++i) {
        CXmlNode root;
        CMediaObject title;
        CString error;
        if (!root.Parse(StripXmlProlog(document)) || !title.ParseMediaOrderFile(&root, error) ||
            title.m_parts.GetSize() != 1000) {
            std::printf("parse failed\n");
            return 1;
        }
    }
    std::printf("order file of 1,000 parts (%d KB): %.2f ms per parse\n", document.GetLength() * 2 / 1024,
                (Now() - start) * 1000 / rounds);

    CObArray titles;
    {
        CXmlNode root;
        root.Parse(StripXmlProlog(OrderDocument(5)));
        for (int i = 0; i < 10000; ++i) {
            auto* title = new CMediaObject;
            CString error;
            title->ParseMediaOrderFile(&root, error);
            title->m_mediaId.Format(L"{TITLE-%05d}", i);
            titles.Add(title);
        }
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const CString path = CString(temp) + L"mediacore-bench.dat";
    start = Now();
    {
        CFile file(path, CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&file, CArchive::store, 64 * 1024);
        titles.Serialize(ar);
        ar.Close();
    }
    const double stored = Now() - start;
    CFileStatus status;
    CFile::GetStatus(path, status);
    start = Now();
    CObArray loaded;
    {
        CFile file(path, CFile::modeRead);
        CArchive ar(&file, CArchive::load, 64 * 1024);
        loaded.Serialize(ar, RUNTIME_CLASS(CMediaObject));
    }
    const double load = Now() - start;
    std::printf("archive of 10,000 titles x 5 parts (%llu KB): store %.0f ms, load %.0f ms\n",
                static_cast<unsigned long long>(status.m_size / 1024), stored * 1000, load * 1000);
    const bool ok = loaded.GetSize() == 10000;
    AfxDeleteObjects(titles);
    AfxDeleteObjects(loaded);
    DeleteFileW(path);
    return ok ? 0 : 1;
}
