// Chapter markers of a title's part files: the suite's own marker list kept in a "WM/Text"
// header attribute, and the native markers of a Windows Media header.
#pragma once

#include "afx.h"
#include "WmFormat.h"

// One marker of the suite's list.
struct MarkerEntry {
    CString name;     // at most 259 characters
    DWORD time = 0;   // milliseconds from the start of the file
};

class CMediaMarkers {
public:
    static constexpr int kMaxMarkers = 100;
    static constexpr int kMaxNameLength = 259;
    static constexpr const wchar_t* kDescription = L"Vesperlin MediaMarkers";

    CMediaMarkers();
    virtual ~CMediaMarkers();
    CMediaMarkers(const CMediaMarkers&) = delete;
    CMediaMarkers& operator=(const CMediaMarkers&) = delete;

    // Opens the file and reads the stored list; S_OK also when the file holds none.
    HRESULT Open(const wchar_t* path, BOOL readOnly);
    int GetMarkerCount() const { return m_count; }
    CString GetMarkerName(int index) const;
    DWORD GetMarkerTime(int index) const;
    HRESULT AddMarker(const wchar_t* name, DWORD time);
    HRESULT RemoveMarker(int index);
    // Ends the editing; with save, a changed list is written to the file first.
    HRESULT Close(BOOL save);

    // The marker XML and its time texts.
    static CString FormatMarkerTime(DWORD milliseconds);
    static DWORD ParseMarkerTime(const CString& text);
    CString BuildMarkerText() const;
    // Fills the list from a marker text; returns the number of markers taken.
    int ParseMarkerText(const CString& text);

    HRESULT GetLastResult() const { return m_lastResult; }

private:
    HRESULT ReadStoredList();
    // The description and text of the "WM/Text" attribute at that index; false when it is
    // not a user text whose texts lie inside its value.
    bool ReadUserText(WORD index, CString& description, CString& text) const;
    HRESULT WriteAttribute(const CString& text, bool reparse);
    void ClearList();
    void ReleaseAll();

    HRESULT m_lastResult = S_OK;
    IWMMetadataEditor* m_editor = nullptr;
    IWMMetadataEditor2* m_editor2 = nullptr;
    IWMHeaderInfo3* m_header = nullptr;
    int m_attributeIndex = -1;  // 16-bit index of the attribute read, -1 for none
    int m_count = 0;
    CString m_storedDescription;
    CString m_storedText;
    MarkerEntry m_markers[kMaxMarkers];
    BOOL m_changed = FALSE;
    BOOL m_open = FALSE;
};

// Read-only access to the native markers and the attributes of a media file's header.
class CWMEditor {
public:
    CWMEditor() = default;
    virtual ~CWMEditor();
    CWMEditor(const CWMEditor&) = delete;
    CWMEditor& operator=(const CWMEditor&) = delete;

    HRESULT Open(const wchar_t* path);
    int GetMarkerCount();
    CString GetMarkerName(int index);
    DWORD GetMarkerTime(int index);
    // A numeric attribute ("Duration" in 100-nanosecond units, "FileSize", "Bitrate", ...),
    // widened to 64 bits.
    HRESULT GetAttribute(const wchar_t* name, WMT_ATTR_DATATYPE& type, QWORD& value);
    // A text attribute ("WM/AlbumTitle", "Author", ...).
    HRESULT GetAttributeText(const wchar_t* name, CString& text);
    HRESULT Close();

    HRESULT GetLastResult() const { return m_lastResult; }

private:
    void ReleaseAll();

    HRESULT m_lastResult = S_OK;
    IWMMetadataEditor* m_editor = nullptr;
    IWMMetadataEditor2* m_editor2 = nullptr;
    IWMHeaderInfo3* m_header = nullptr;
    BOOL m_open = FALSE;
};
