#include "MediaObject.h"

#include "XmlNode.h"
#include "res/MediaCoreIds.h"

IMPLEMENT_SERIAL(CMediaObject, CMediaObjectBase, 0)

namespace {
constexpr WORD kMediaObjectVersion = 2;
}  // namespace

void CMediaObject::SetLicense(const wchar_t* license)
{
    if (license)
        m_license = license;
}

BOOL CMediaObject::ParseMediaOrderFile(const CXmlNode* root, CString& error, const COrderFileMessages& messages)
{
    if (!ParseIdentity(root, error, messages))
        return FALSE;
    CString version;
    root->GetAttribute(L"VPMVersion", version);  // read, not kept
    const CString fallback = AfxLoadString(IDS_DEFAULT_MOBILE_VERSION);
    if (!root->GetAttribute(L"MobileMinVersion", m_mobileMinVersion) || m_mobileMinVersion.IsEmpty())
        m_mobileMinVersion = fallback;
    if (!root->GetAttribute(L"MobileCurVersion", m_mobileCurVersion) || m_mobileCurVersion.IsEmpty())
        m_mobileCurVersion = fallback;
    m_license = ReadOrderLicense(root);
    if (!ParseMetadataElement(root, error, messages))
        return FALSE;
    return ParseProtocolsAndParts(root, error, messages);
}

void CMediaObject::Serialize(CArchive& ar)
{
    SerializeRecordVersion(ar, kMediaObjectVersion);
    SerializeCommon(ar);
    if (ar.IsLoading())
        DeriveContentKindFromParts();
}
