// The console's title record (CMediaObject), its collections of titles
// (CCollectionObject) and the order-file messages as the console numbers them.
//
// The console keeps every title of its library as a CMediaObject: what the order file
// said, plus the folders and dates the console adds. The record's archive form is the
// console's own (third version); the element records are the media core's.
#pragma once

#include "MediaObjectBase.h"

// The picture a title shows while it has no thumbnail of its own.
constexpr int DefaultTitlePicture = 20;

// The console's numbering of the order-file reader's messages.
const COrderFileMessages& ConsoleOrderFileMessages();

class CMediaObject : public CMediaObjectBase {
    DECLARE_SERIAL(CMediaObject)
public:
    CMediaObject() = default;

    // Fills the title from the root element of an order file. On FALSE the error holds
    // the message (empty when the root is missing or misnamed).
    BOOL ParseMediaOrderFile(const CXmlNode* root, CString& error);
    void Serialize(CArchive& ar) override;

    // "<download>\<folder>\<folder>.wax", or "<download>\<file name>" without a folder.
    CString GetPlaylistPath() const;

    const CString& GetMediaId() const { return m_mediaId; }
    const CString& GetSelectedMethod() const { return m_selectedMethod; }
    const CString& GetDownloadFolder() const { return m_baseFolder; }
    const COleDateTime& GetLastPlayedDate() const { return m_lastPlayedDate; }

    // Each setter ignores a null text; the date setters ignore a date that is not valid.
    void SetSelectedMethod(const wchar_t* method) { SetIfGiven(m_selectedMethod, method); }
    void SetDownloadFolder(const wchar_t* folder) { SetBaseFolder(folder); }
    void SetLicenseText(const wchar_t* text) { SetIfGiven(m_licenseText, text); }
    void SetPictureIndex(int index) { m_pictureIndex = index; }
    int GetPictureIndex() const { return m_pictureIndex; }

    CString m_licenseText;         // opaque; the "License" header value of the part downloads
    CString m_transactionId;       // "TransactionID"
    CString m_earlyReturnUrl;      // "EarlyReturnURL"
    CString m_downloadSuccessUrl;  // "DownloadSuccessURL"
    CString m_orderLicense;        // "WMLicense" or "License" of the order file; not archived

private:
    static void SetIfGiven(CString& field, const wchar_t* value)
    {
        if (value)
            field = value;
    }
    int m_pictureIndex = DefaultTitlePicture;  // not archived
};

// A named collection of titles (their media ids, in the order they were added).
class CCollectionObject : public CObject {
    DECLARE_SERIAL(CCollectionObject)
public:
    void SetName(const wchar_t* name)
    {
        if (name)
            m_name = name;
    }
    const CString& GetName() const { return m_name; }
    // Appends the id (no duplicate check); -1 and nothing changed for null.
    INT_PTR AddMedia(const wchar_t* id);
    // Removes the first member equal to the id (exact comparison).
    void RemoveMedia(const wchar_t* id);
    void Serialize(CArchive& ar) override;

    CString m_name;
    CStringArray m_members;
};

// The creator roles the console lists (string IDS_CREATOR_ROLES, lower-cased).
class CCreatorRoleSet {
public:
    // Built from the string table.
    CCreatorRoleSet();
    // Built from a "|"-separated list.
    explicit CCreatorRoleSet(const CString& roles);
    bool IsKnownCreatorRole(const CString& role) const;
    bool IsEmpty() const { return m_roles.IsEmpty(); }

private:
    void Fill(const CString& roles);
    CMapStringToString m_roles;
};

// The n-th creator (counting from 1) whose role is in the set; null when there are fewer.
CCreatorObject* GetCreator(const CMetadataObject& metadata, int n, const CCreatorRoleSet& roles);
// The creator a list column leads with, of those whose role is in the set: for column 1
// the first whose role is exactly "Author", for column 2 the first of any other role.
const CCreatorObject* GetColumnCreator(const CMetadataObject& metadata, int column, const CCreatorRoleSet& roles);

// Case-insensitive sort of a record array by one text of each record. Null records
// compare equal to anything; they are kept at the end.
int CompareCollectionNames(const CObject* a, const CObject* b);
int CompareSourceNames(const CObject* a, const CObject* b);
int CompareTitleIds(const CObject* a, const CObject* b);
void SortRecords(CObArray& records, int (*compare)(const CObject*, const CObject*));
