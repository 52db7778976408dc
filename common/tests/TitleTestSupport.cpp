#include "TitleTestSupport.h"

#include "TestSupport.h"

#include <sstream>

namespace titletest {

CString ReadUtf8File(const CString& path)
{
    const std::vector<BYTE> bytes = testsupport::ReadAll(path);
    return CString::FromNarrow(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), CP_UTF8);
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
    o << "id=" << U(t.m_mediaId) << "\nsource=" << U(t.m_sourceId) << "\nfolder=" << U(t.m_titleFolder)
      << "\nselectedMethod=" << U(t.m_selectedMethod) << "\nbase=" << U(t.m_baseFolder) << "\nfile=" << U(t.m_fileName)
      << "\nacquired=" << t.m_acquiredDate.GetStatus() << "/" << t.m_acquiredDate.m_dt
      << "\nlastPlayed=" << t.m_lastPlayedDate.GetStatus() << "/" << t.m_lastPlayedDate.m_dt << "\n"
      << DescribeContent(t);
    return o.str();
}

}  // namespace titletest
