#include "LibraryTestSupport.h"

#include "TestSupport.h"
#include "XmlNode.h"

#include <cstring>
#include <sstream>

namespace librarytest {

ArchiveBytes& ArchiveBytes::Word(WORD value)
{
    m_data.push_back(static_cast<BYTE>(value & 0xFF));
    m_data.push_back(static_cast<BYTE>(value >> 8));
    return *this;
}

ArchiveBytes& ArchiveBytes::Long(LONG value)
{
    const DWORD v = static_cast<DWORD>(value);
    for (int i = 0; i < 4; ++i)
        m_data.push_back(static_cast<BYTE>((v >> (8 * i)) & 0xFF));
    return *this;
}

ArchiveBytes& ArchiveBytes::Double(double value)
{
    BYTE bytes[8];
    memcpy(bytes, &value, 8);
    m_data.insert(m_data.end(), bytes, bytes + 8);
    return *this;
}

ArchiveBytes& ArchiveBytes::Text(const std::wstring& text)
{
    m_data.push_back(0xFF);
    Word(0xFFFE);
    if (text.size() < 255) {
        m_data.push_back(static_cast<BYTE>(text.size()));
    } else {
        m_data.push_back(0xFF);
        Word(static_cast<WORD>(text.size()));
    }
    for (wchar_t ch : text)
        Word(static_cast<WORD>(ch));
    return *this;
}

ArchiveBytes& ArchiveBytes::Date(LONG status, double value) { return Long(status).Double(value); }

ArchiveBytes& ArchiveBytes::NewClass(const char* name)
{
    Word(0xFFFF).Word(0).Word(static_cast<WORD>(strlen(name)));
    m_data.insert(m_data.end(), name, name + strlen(name));
    return *this;
}

ArchiveBytes& ArchiveBytes::OldClass(WORD classIndex) { return Word(static_cast<WORD>(0x8000 | classIndex)); }

namespace {
std::string Narrow(const CString& text) { return text.ToNarrow(CP_UTF8); }

std::string DescribeDate(const COleDateTime& date)
{
    std::ostringstream out;
    out << date.GetStatus() << "/" << (date.GetStatus() == COleDateTime::valid ? Narrow(date.Format()) : "");
    return out.str();
}
}  // namespace

std::string Describe(const CMediaObject& title)
{
    std::ostringstream out;
    out << "id=" << Narrow(title.m_mediaId) << " source=" << Narrow(title.m_sourceId)
        << " folder=" << Narrow(title.m_titleFolder) << " method=" << Narrow(title.GetSelectedMethod())
        << " download=" << Narrow(title.GetDownloadFolder()) << " file=" << Narrow(title.m_fileName)
        << " acquired=" << DescribeDate(title.m_acquiredDate) << " played=" << DescribeDate(title.GetLastPlayedDate())
        << " licence=" << Narrow(title.m_licenseText) << " transaction=" << Narrow(title.m_transactionId)
        << " early=" << Narrow(title.m_earlyReturnUrl) << " success=" << Narrow(title.m_downloadSuccessUrl) << "\n";
    out << titletest::DescribeContent(title);
    return out.str();
}

std::string Describe(const CBrenvaleDoc& library)
{
    std::ostringstream out;
    for (CObject* o : library.GetTitles())
        out << Describe(*static_cast<CMediaObject*>(o));
    for (CObject* o : library.GetSources()) {
        auto* s = static_cast<CSourceObject*>(o);
        out << "source " << Narrow(s->m_id) << "|" << Narrow(s->m_name) << "|" << Narrow(s->m_websiteUrl) << "|"
            << Narrow(s->m_bannerUrl) << "|" << Narrow(s->m_accentColor) << "|" << Narrow(s->m_displayName) << "\n";
    }
    for (CObject* o : library.GetCollections()) {
        auto* c = static_cast<CCollectionObject*>(o);
        out << "collection " << Narrow(c->m_name) << ":";
        for (const CString& member : c->m_members)
            out << " " << Narrow(member);
        out << "\n";
    }
    return out.str();
}

CMediaObject* MakeTitle(const wchar_t* id, const wchar_t* sourceId, int parts)
{
    auto* title = new CMediaObject;
    title->SetMediaId(id);
    title->SetSourceId(sourceId);
    title->SetTitleFolder(CString(L"Folder ") + id);
    title->SetSelectedMethod(L"download");
    title->SetDownloadFolder(L"C:\\Media");
    COleDateTime acquired(2024, 5, 6, 7, 8, 9);
    title->SetAcquiredDate(acquired);
    CMetadataObject& m = title->GetMetadata();
    m.SetTitle(CString(L"Title ") + id);
    m.SetSortTitle(CString(L"Sort ") + id);
    m.SetSubTitle(L"A &amp; B");
    m.SetPublisher(L"Publisher");
    m.SetDescription(L"Description");
    m.SetSeries(L"Series");
    m.SetThumbnailUrl(L"http://img.test/t.jpg");
    m.SetCoverUrl(L"http://img.test/c.jpg");
    m.SetContentKind(KindMp3Audiobook);
    auto* creator = new CCreatorObject;
    creator->SetName(L"Jane Roe");
    creator->SetFileAs(L"Roe, Jane");
    creator->SetRole(L"Author");
    m.AddCreator(creator);
    auto* subject = new CSubjectObject;
    subject->SetId(7);
    subject->m_subject = L"Fiction";
    m.AddSubject(subject);
    auto* language = new CLanguageObject;
    language->m_code = L"en";
    language->m_name = L"English";
    m.AddLanguage(language);
    auto* protocol = new CProtocolObject;
    protocol->SetMethod(L"download");
    protocol->SetBaseUrl(L"http://media.test/files");
    title->AddProtocol(protocol);
    for (int n = 1; n <= parts; ++n) {
        auto* part = new CPartObject;
        part->m_number = n;
        part->m_fileSize = 1000 * n;
        part->m_name.Format(L"Part %d", n);
        part->m_fileName.Format(L"file-fmt425-%d.mp3", n);
        part->SetDuration(L"1:02:03");
        title->AddPart(part);
    }
    title->m_licenseText = L"LICENCE";
    title->m_transactionId = L"T-1";
    title->m_earlyReturnUrl = L"http://service.test/return";
    title->m_downloadSuccessUrl = L"http://service.test/ok";
    return title;
}

CSourceObject* MakeSource(const wchar_t* id, const wchar_t* name)
{
    auto* source = new CSourceObject;
    source->m_id = id;
    source->SetName(name);
    source->m_websiteUrl = L"http://shop.test/";
    source->m_bannerUrl = L"http://shop.test/banner.gif";
    source->m_accentColor = L"#336699";
    return source;
}

CCollectionObject* MakeCollection(const wchar_t* name, std::initializer_list<const wchar_t*> members)
{
    auto* collection = new CCollectionObject;
    collection->SetName(name);
    for (const wchar_t* member : members)
        collection->AddMedia(member);
    return collection;
}

CString ReadTextFile(const CString& path)
{
    const std::vector<BYTE> data = testsupport::ReadAll(path);
    if (data.size() >= 2 && data[0] == 0xFF && data[1] == 0xFE)
        return CString(reinterpret_cast<const wchar_t*>(data.data() + 2), static_cast<int>((data.size() - 2) / 2));
    if (data.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        return CString::FromNarrow(reinterpret_cast<const char*>(data.data() + 3), static_cast<int>(data.size() - 3),
                                   CP_UTF8);
    return CString::FromNarrow(reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()), CP_ACP);
}

CFile* TestLibrary::GetFile(const wchar_t* path, UINT flags, CFileException* error)
{
    if (!makeFile)
        return CBrenvaleDoc::GetFile(path, flags, error);
    CFile* file = makeFile();
    if (!file->Open(path, flags, error)) {
        delete file;
        return nullptr;
    }
    return file;
}

// A 24-bit BMP file: the header fields one by one, then grey rows.
void WriteBitmap(const CString& path, int width, int height)
{
    const int rowSize = (width * 3 + 3) & ~3;
    std::vector<BYTE> data(54 + rowSize * height, 0x80);
    auto put32 = [&](size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i)
            data[at + i] = static_cast<BYTE>(v >> (8 * i));
    };
    data[0] = 'B';
    data[1] = 'M';
    put32(2, static_cast<DWORD>(data.size()));
    put32(6, 0);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<DWORD>(width));
    put32(22, static_cast<DWORD>(height));
    data[26] = 1;
    data[27] = 0;
    data[28] = 24;
    data[29] = 0;
    put32(30, 0);
    put32(34, static_cast<DWORD>(rowSize * height));
    testsupport::WriteAll(path, data.data(), data.size());
}

int CheckXmlWithPython(const CString& file, const std::wstring& expectations, const CString& scratch)
{
    const CString expectFile = scratch + L"\\expect.txt";
    testsupport::WriteAll(expectFile, CString(expectations).ToNarrow(CP_UTF8));
    using testsupport::ShellQuoted;
    const std::string command = "python3 " + ShellQuoted(testsupport::SourcePath(L"Brenvale/tests/check_xml.py")) +
                                " " + ShellQuoted(file) + " " + ShellQuoted(expectFile) + " >&2";
    return testsupport::RunHostCommand(command);
}

}  // namespace librarytest
