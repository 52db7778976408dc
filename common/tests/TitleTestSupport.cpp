#include "TitleTestSupport.h"

#include "TestSupport.h"

#include <sstream>

namespace titletest {

CString ReadUtf8File(const CString& path)
{
    const std::vector<BYTE> bytes = testsupport::ReadAll(path);
    return CString::FromNarrow(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), CP_UTF8);
}

BOOL ParseOrderText(const CString& document, CMediaObject& title, CString& error)
{
    CXmlNode root;
    if (!root.Parse(StripXmlProlog(document))) {
        error = L"not one element";
        return FALSE;
    }
    return title.ParseMediaOrderFile(&root, error);
}

std::vector<BYTE> StoreObject(const CObject& object)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    ar << &object;
    ar.Close();
    return file.Detach();
}

namespace {
std::string U(const CString& s) { return s.ToNarrow(CP_UTF8); }
}  // namespace

std::string Describe(const CMediaObject& t)
{
    std::ostringstream o;
    const CMetadataObject& m = t.GetMetadata();
    o << "id=" << U(t.m_mediaId) << "\nsource=" << U(t.m_sourceId) << "\nfolder=" << U(t.m_titleFolder)
      << "\nfield4=" << U(t.m_field4) << "\nbase=" << U(t.m_baseFolder) << "\nfile=" << U(t.m_fileName)
      << "\nacquired=" << t.m_acquiredDate.GetStatus() << "/" << t.m_acquiredDate.m_dt
      << "\nsecond=" << t.m_secondDate.GetStatus() << "/" << t.m_secondDate.m_dt << "\ntitle=" << U(m.m_title)
      << "\nsort=" << U(m.m_sortTitle) << "\nsub=" << U(m.m_subTitle) << "\npublisher=" << U(m.m_publisher)
      << "\ndescription=" << U(m.m_description) << "\nthumb=" << U(m.m_thumbnailUrl) << "\ncover=" << U(m.m_coverUrl)
      << "\nseries=" << U(m.m_series) << "\nkind=" << m.GetContentKind() << "\ntitleDecoded=" << U(m.m_titleDecoded)
      << "\n";
    for (CObject* o1 : m.m_creators) {
        auto* c = static_cast<CCreatorObject*>(o1);
        o << "creator=" << U(c->m_name) << "|" << U(c->m_fileAs) << "|" << U(c->m_role) << "|" << U(c->m_displayName)
          << "\n";
    }
    for (CObject* o1 : m.m_subjects) {
        auto* s = static_cast<CSubjectObject*>(o1);
        o << "subject=" << s->m_id << "|" << U(s->m_subject) << "\n";
    }
    for (CObject* o1 : m.m_languages) {
        auto* l = static_cast<CLanguageObject*>(o1);
        o << "language=" << U(l->m_code) << "|" << U(l->m_name) << "\n";
    }
    for (CObject* o1 : t.m_protocols) {
        auto* p = static_cast<CProtocolObject*>(o1);
        o << "protocol=" << U(p->m_method) << "|" << U(p->m_baseUrl) << "\n";
    }
    for (CObject* o1 : t.m_parts) {
        auto* p = static_cast<CPartObject*>(o1);
        o << "part=" << p->m_number << "|" << p->m_fileSize << "|" << U(p->m_name) << "|" << U(p->m_fileName) << "|"
          << U(p->m_duration) << "\n";
    }
    return o.str();
}

}  // namespace titletest
