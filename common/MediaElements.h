// The element records of a title: metadata, creators, subjects, languages, protocols,
// parts and the selling source. Each reads itself from its order-file element and
// stores itself in an archive with a version word of its own.
//
// Texts that come from XML are kept as read (raw); where a decoded copy exists it is
// recomputed whenever the raw text is set or loaded.
#pragma once

#include "OrderFileMessages.h"
#include "FileNames.h"
#include "afx.h"

class CXmlNode;

// Content kinds: a single bit each.
enum ContentKind : int {
    KindNone = 0,
    KindAudiobook = 1,
    KindMusic = 2,
    KindVideo = 4,
    KindMobileVideo = 8,
    KindGame = 16,
    KindMp3Audiobook = 32,
    KindMp3Music = 64,
    KindStreamingVideo = 128,
};

// The kind named by a "ContentType" text (0 when unknown).
int ContentKindFromName(const CString& name);
// The display name of a kind from the string table ("(Unknown)" for anything else).
CString GetContentKindDisplayName(int kind);
// The kind coded in a server file name ("fmt40-" ...; 1 when there is no code).
int ContentKindFromFileName(const CString& fileName);

class CCreatorObject : public CObject {
    DECLARE_SERIAL(CCreatorObject)
public:
    BOOL ParseCreator(const CXmlNode* node, CString& error,
                      const COrderFileMessages& messages = COrderFileMessages::Standard());
    void Serialize(CArchive& ar) override;

    void SetName(const wchar_t* name);
    void SetFileAs(const wchar_t* fileAs);
    void SetRole(const wchar_t* role);

    CString m_name;         // raw
    CString m_fileAs;       // name for sorting
    CString m_role;
    CString m_displayName;  // decoded name
};

class CSubjectObject : public CObject {
    DECLARE_SERIAL(CSubjectObject)
public:
    BOOL ParseSubject(const CXmlNode* node, CString& error,
                      const COrderFileMessages& messages = COrderFileMessages::Standard());
    void Serialize(CArchive& ar) override;
    void SetId(int id) { m_id = id; }

    int m_id = 0;
    CString m_subject;  // decoded
};

class CLanguageObject : public CObject {
    DECLARE_SERIAL(CLanguageObject)
public:
    BOOL ParseLanguage(const CXmlNode* node, CString& error,
                       const COrderFileMessages& messages = COrderFileMessages::Standard());
    void Serialize(CArchive& ar) override;

    CString m_code;
    CString m_name;  // decoded
};

class CProtocolObject : public CObject {
    DECLARE_SERIAL(CProtocolObject)
public:
    BOOL ParseProtocol(const CXmlNode* node, CString& error,
                       const COrderFileMessages& messages = COrderFileMessages::Standard());
    void Serialize(CArchive& ar) override;
    void SetMethod(const wchar_t* method);
    void SetBaseUrl(const wchar_t* url);

    CString m_method;
    CString m_baseUrl;
};

class CMediaObjectBase;

class CPartObject : public CObject {
    DECLARE_SERIAL(CPartObject)
public:
    BOOL ParsePart(const CXmlNode* node, CString& error,
                   const COrderFileMessages& messages = COrderFileMessages::Standard());
    void Serialize(CArchive& ar) override;

    const CString& GetName() const { return m_name; }
    const CString& GetDuration() const { return m_duration; }
    void SetDuration(const wchar_t* duration);
    // The part's local file: see CMediaObjectBase for the layout of a title's folder.
    CString GetFilePath(const CMediaObjectBase* title) const;

    int m_number = 0;
    LONGLONG m_fileSize = 0;  // bytes; parts may be larger than 4 GiB
    CString m_name;           // display name
    CString m_fileName;  // file name on the server
    CString m_duration;  // "h:m:s" or "m:s", trimmed
};

class CSourceObject : public CObject {
    DECLARE_SERIAL(CSourceObject)
public:
    BOOL ParseSource(const CXmlNode* node, CString& error,
                     const COrderFileMessages& messages = COrderFileMessages::Standard());
    void Serialize(CArchive& ar) override;

    // "folder\Banners\<id><ext>" with the extension of the banner URL. An empty folder
    // means the user's temporary folder; with deleteExisting set, an existing file
    // there is deleted first.
    CString GetBannerPath(const CString& folder, BOOL deleteExisting) const;
    // The same without a fallback folder and without deleting anything.
    CString GetBannerPath(const CString& folder) const;
    // The accent colour as a COLORREF; light blue when the text is not "#rrggbb".
    COLORREF GetAccentColor() const;
    void SetName(const wchar_t* name);

    CString m_id;
    CString m_name;         // decoded
    CString m_websiteUrl;   // decoded
    CString m_bannerUrl;    // decoded
    CString m_accentColor;  // decoded, "#rrggbb"
    CString m_displayName;  // the name decoded once more for display (not archived)
};

class CMetadataObject : public CObject {
    DECLARE_SERIAL(CMetadataObject)
public:
    CMetadataObject() = default;
    ~CMetadataObject() override;
    CMetadataObject(const CMetadataObject&) = delete;
    CMetadataObject& operator=(const CMetadataObject&) = delete;

    BOOL ParseMetadata(const CXmlNode* node, CString& error,
                       const COrderFileMessages& messages = COrderFileMessages::Standard());
    void Serialize(CArchive& ar) override;

    // The decoded (or raw) title, with ": " and the subtitle when asked and present.
    CString GetDisplayTitle(BOOL withSubtitle, BOOL decoded) const;

    void SetTitle(const wchar_t* title);
    void SetSortTitle(const wchar_t* sortTitle);
    void SetSubTitle(const wchar_t* subTitle);
    void SetPublisher(const wchar_t* publisher);
    void SetDescription(const wchar_t* description);
    void SetSeries(const wchar_t* series);
    void SetThumbnailUrl(const wchar_t* url);
    void SetCoverUrl(const wchar_t* url);
    // Stores one of the kind bits 1..64; anything else stores 0.
    void SetContentKind(int kind);
    int GetContentKind() const { return m_contentKind; }

    INT_PTR AddCreator(CCreatorObject* creator);
    INT_PTR AddSubject(CSubjectObject* subject);
    INT_PTR AddLanguage(CLanguageObject* language);
    // Deletes every creator, subject and language.
    void RemoveAllElements();

    // Raw texts as read.
    CString m_title, m_sortTitle, m_subTitle, m_publisher, m_description;
    CString m_thumbnailUrl;  // decoded
    CObArray m_creators;     // CCreatorObject, owned
    CObArray m_subjects;     // CSubjectObject, owned
    CObArray m_languages;    // CLanguageObject, owned
    CString m_coverUrl;      // decoded
    CString m_series;        // raw
    CString m_spareText1, m_spareText2;  // for a program's own use: never filled from order files, not archived
    // Decoded copies, following the raw texts.
    CString m_titleDecoded, m_sortTitleDecoded, m_subTitleDecoded, m_publisherDecoded, m_descriptionDecoded,
        m_seriesDecoded;

private:
    void RecomputeDecoded();
    int m_contentKind = KindNone;
};

// Loads an owning list of records of that class (or derived from it): what the list held
// is deleted first. A null element, which the archive form allows but which stands for
// no record, is skipped, so every loaded list holds records only.
void LoadRecordList(CArchive& ar, CObArray& list, const CRuntimeClass* recordClass);

// Writes a record's version word, or reads it and refuses (bad schema) one above current.
WORD SerializeRecordVersion(CArchive& ar, WORD current);

// Reads an element's text into raw and decoded forms (decoded empty for empty raw).
void SetRawAndDecoded(const wchar_t* raw, CString& rawField, CString& decodedField);

// The file extension of a URL's last path segment (".jpg"), without query or fragment;
// the fallback when it has none or it is not 1 to 5 letters and digits.
CString UrlFileExtension(const CString& url, const wchar_t* fallback);

// A name from an order file is made safe as one component of a path with
// SafeFileNameComponent (FileNames.h).
