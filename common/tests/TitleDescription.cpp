#include "TitleDescription.h"

#include <sstream>

namespace titletest {

namespace {
std::string U(const CString& s) { return s.ToNarrow(CP_UTF8); }
}  // namespace

std::string DescribeContent(const CMediaObjectBase& t)
{
    std::ostringstream o;
    const CMetadataObject& m = t.GetMetadata();
    o << "title=" << U(m.m_title) << " sort=" << U(m.m_sortTitle) << " sub=" << U(m.m_subTitle)
      << " publisher=" << U(m.m_publisher) << " description=" << U(m.m_description) << " thumb=" << U(m.m_thumbnailUrl)
      << " cover=" << U(m.m_coverUrl) << " series=" << U(m.m_series) << " kind=" << m.GetContentKind()
      << " decoded=" << U(m.m_titleDecoded) << "\n";
    for (CObject* object : m.m_creators) {
        auto* c = static_cast<CCreatorObject*>(object);
        o << "creator " << U(c->m_name) << "|" << U(c->m_fileAs) << "|" << U(c->m_role) << "|" << U(c->m_displayName)
          << "\n";
    }
    for (CObject* object : m.m_subjects) {
        auto* s = static_cast<CSubjectObject*>(object);
        o << "subject " << s->m_id << "|" << U(s->m_subject) << "\n";
    }
    for (CObject* object : m.m_languages) {
        auto* l = static_cast<CLanguageObject*>(object);
        o << "language " << U(l->m_code) << "|" << U(l->m_name) << "\n";
    }
    for (CObject* object : t.m_protocols) {
        auto* p = static_cast<CProtocolObject*>(object);
        o << "protocol " << U(p->m_method) << "|" << U(p->m_baseUrl) << "\n";
    }
    for (CObject* object : t.m_parts) {
        auto* p = static_cast<CPartObject*>(object);
        o << "part " << p->m_number << "|" << p->m_fileSize << "|" << U(p->m_name) << "|" << U(p->m_fileName) << "|"
          << U(p->m_duration) << "\n";
    }
    return o.str();
}

}  // namespace titletest
