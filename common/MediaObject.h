// The wizards' title record: a title as read from a media order file.
#pragma once

#include "MediaObjectBase.h"

class CMediaObject : public CMediaObjectBase {
    DECLARE_SERIAL(CMediaObject)
public:
    // Fills the title from the root element of an order file. On FALSE the error holds
    // the message (empty when the root is missing or misnamed, or when the message was
    // already shown).
    BOOL ParseMediaOrderFile(const CXmlNode* root, CString& error,
                             const COrderFileMessages& messages = COrderFileMessages::Standard());
    void Serialize(CArchive& ar) override;

    void SetLicense(const wchar_t* license);

    CString m_mobileMinVersion;  // lowest player-software version for Windows Mobile players
    CString m_mobileCurVersion;  // current player-software version for Windows Mobile players
    CString m_license;           // opaque licence value from the order file
};
