// What every program's title record (CMediaObject) has in common: identity, folders,
// dates, metadata, protocols and parts, and the rules that name a title's files.
//
// A title lives in its title folder under a base (download) folder; the folder's name
// is also the base name of its files:
//     <base>\<folder>\<folder>.vpm, <folder>.wax, <folder>-Part03.mp3, <folder>.jpg
// A title without a folder of its own keeps its parts in <base>\Media\<server name>.
#pragma once

#include "MediaElements.h"
#include "afx.h"

class CMediaObjectBase : public CObject {
    DECLARE_DYNAMIC(CMediaObjectBase)
public:
    CMediaObjectBase();
    ~CMediaObjectBase() override;
    CMediaObjectBase(const CMediaObjectBase&) = delete;
    CMediaObjectBase& operator=(const CMediaObjectBase&) = delete;

    INT_PTR AddProtocol(CProtocolObject* protocol);
    INT_PTR AddPart(CPartObject* part);
    CMetadataObject& GetMetadata() { return m_metadata; }
    const CMetadataObject& GetMetadata() const { return m_metadata; }
    CPartObject* GetPart(INT_PTR index) const;
    CProtocolObject* GetProtocol(INT_PTR index) const;

    // Setters ignore a null text and a date that is not valid.
    void SetMediaId(const wchar_t* id);
    void SetSourceId(const wchar_t* id);
    void SetTitleFolder(const wchar_t* folder);
    void SetBaseFolder(const wchar_t* folder);
    void SetFileName(const wchar_t* name);
    void SetAcquiredDate(const COleDateTime& date);
    void SetLastPlayedDate(const COleDateTime& date);

    // "<base>\<folder>\<folder>.vpm", or "<base>\<file name>" without a title folder.
    CString GetMediaOrderFilePath() const;
    // The title's picture: in its folder ("<folder><ext>", or "folder<ext>" with
    // asFolderPicture), or "<root>\Thumbnails\<media id><ext>" without a title folder.
    // The extension is the thumbnail URL's (".jpg" when it has none).
    CString GetThumbnailPath(const CString& root, BOOL asFolderPicture) const;
    // The thumbnail path with "-Cover" before its extension.
    CString GetCoverPath(const CString& root) const;
    CString GetContentKindName() const;
    // Seconds over all parts' durations.
    int GetTotalDuration() const;
    // "mm:ss" below an hour, "h:mm:ss" from an hour on; empty for 0.
    CString FormatTotalDuration() const;
    // The acquired date (kept in local time) as UTC, for texts that carry a "Z".
    COleDateTime GetAcquiredDateUtc() const;

    // After loading: a title without a kind takes the kind coded in its first part's
    // server file name.
    void DeriveContentKindFromParts();

    CString m_mediaId;
    CString m_sourceId;
    CString m_titleFolder;
    CString m_selectedMethod;  // carried by the archive, never filled from an order file (the console: the selected method)
    CString m_baseFolder;  // the download folder that holds the title folder
    CString m_fileName;    // used when the title folder is empty
    COleDateTime m_acquiredDate;
    COleDateTime m_lastPlayedDate;  // null when made; set by the console when a title is played
    CMetadataObject m_metadata;
    CObArray m_protocols;  // CProtocolObject, owned
    CObArray m_parts;      // CPartObject, owned, in document order

protected:
    // Reads or writes the fields above in archive order: six texts, two dates,
    // the metadata record, the protocol and part lists.
    void SerializeCommon(CArchive& ar);
    // Reads the root attribute "id" and the "Metadata", "Protocol" and "Part" elements;
    // shared by the programs' root parses.
    BOOL ParseIdentity(const CXmlNode* root, CString& error, const COrderFileMessages& messages);
    BOOL ParseMetadataElement(const CXmlNode* root, CString& error, const COrderFileMessages& messages);
    BOOL ParseProtocolsAndParts(const CXmlNode* root, CString& error, const COrderFileMessages& messages);
    // The licence value: the "WMLicense" text, or the "License" text when that is empty.
    static CString ReadOrderLicense(const CXmlNode* root);
};

// The cover picture beside a file: the file's path up to the "-" of its name (or up to
// its extension) with ".jpg", ".gif", ".png", ".bmp" or ".tif", the first that exists.
// When none exists the user is told and the result is empty.
CString FindCoverImage(const CString& path);

// The sum in seconds of one duration text ("h:m:s" or "m:s"; anything else counts 0).
int DurationTextToSeconds(const CString& duration);
