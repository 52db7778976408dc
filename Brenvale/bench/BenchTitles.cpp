#include "BenchTitles.h"

#include <gdiplus.h>

#include <cwchar>
#include <memory>

CMediaObject* MakeBenchTitle(int n, const CString& downloadFolder, const CString& description)
{
    auto* title = new CMediaObject;
    CString text;
    text.Format(L"{BENCH-%06d}", n);
    title->SetMediaId(text);
    title->SetSourceId(L"source-1");
    text.Format(L"Title %06d", n);
    title->SetTitleFolder(text);
    title->SetSelectedMethod(L"download");
    title->SetDownloadFolder(downloadFolder);
    CMetadataObject& metadata = title->GetMetadata();
    metadata.SetTitle(text);
    metadata.SetSortTitle(text);
    metadata.SetDescription(description);
    metadata.SetThumbnailUrl(L"http://img.test/cover.jpg");
    metadata.SetContentKind(KindMp3Audiobook);
    auto* creator = new CCreatorObject;
    creator->SetName(L"Author Name");
    creator->SetFileAs(L"Name, Author");
    creator->SetRole(L"Author");
    metadata.AddCreator(creator);
    for (int p = 1; p <= 5; ++p) {
        auto* part = new CPartObject;
        part->m_number = p;
        part->m_fileSize = 20000000 + p;
        part->m_name.Format(L"Part %d", p);
        part->m_fileName.Format(L"bench-fmt425-%06d-%d.mp3", n, p);
        part->SetDuration(L"1:02:03");
        title->AddPart(part);
    }
    auto* protocol = new CProtocolObject;
    protocol->SetMethod(L"download");
    protocol->SetBaseUrl(L"http://media.test/files");
    title->AddProtocol(protocol);
    title->m_licenseText = L"NONE";
    return title;
}

bool WriteBenchThumbnail(const CString& path)
{
    using namespace Gdiplus;
    Bitmap picture(150, 200, PixelFormat24bppRGB);
    {
        Graphics graphics(&picture);
        LinearGradientBrush brush(Point(0, 0), Point(150, 200), Color(255, 200, 40, 40), Color(255, 40, 40, 200));
        graphics.FillRectangle(&brush, 0, 0, 150, 200);
    }
    UINT count = 0, size = 0;
    GetImageEncodersSize(&count, &size);
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
    auto* encoders = reinterpret_cast<ImageCodecInfo*>(buffer.get());
    GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i)
        if (std::wcscmp(encoders[i].MimeType, L"image/jpeg") == 0)
            return picture.Save(path, &encoders[i].Clsid, nullptr) == Ok;
    return false;
}
