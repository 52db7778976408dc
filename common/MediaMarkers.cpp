#include "MediaMarkers.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace {

template <typename T>
void ReleaseRef(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Reads one decimal component: digits up to the first non-digit; 0 when there are none.
DWORD DecimalPrefix(const CString& text)
{
    DWORD value = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        wchar_t c = text[i];
        if (c < L'0' || c > L'9')
            break;
        value = value * 10 + static_cast<DWORD>(c - L'0');
    }
    return value;
}

// The text between the first open tag and the first close tag after it.
bool TextBetween(const CString& content, const wchar_t* open, const wchar_t* close, CString& out)
{
    int start = content.Find(open);
    if (start < 0)
        return false;
    start += static_cast<int>(wcslen(open));
    int end = content.Find(close, start);
    if (end < 0)
        return false;
    out = content.Mid(start, end - start);
    return true;
}

}  // namespace

CMediaMarkers::CMediaMarkers() = default;

CMediaMarkers::~CMediaMarkers()
{
    Close(FALSE);
    ReleaseAll();
}

void CMediaMarkers::ReleaseAll()
{
    ReleaseRef(m_header);
    ReleaseRef(m_editor2);
    ReleaseRef(m_editor);
    m_storedDescription.Empty();
    m_storedText.Empty();
    m_open = FALSE;
}

void CMediaMarkers::ClearList()
{
    for (MarkerEntry& m : m_markers) {
        m.name.Empty();
        m.time = 0;
    }
    m_count = 0;
}

HRESULT CMediaMarkers::Open(const wchar_t* path, BOOL readOnly)
{
    if (m_editor) {
        if (m_open)
            m_editor->Close();
        ReleaseAll();
    }
    HRESULT hr = WMCreateEditor(&m_editor);
    if (SUCCEEDED(hr))
        hr = m_editor->QueryInterface(__uuidof(IWMMetadataEditor2), reinterpret_cast<void**>(&m_editor2));
    if (SUCCEEDED(hr))
        hr = readOnly ? m_editor2->OpenEx(path, GENERIC_READ, FILE_SHARE_READ)
                      : m_editor2->OpenEx(path, GENERIC_READ | GENERIC_WRITE, 0);
    if (FAILED(hr)) {
        ReleaseAll();
        return m_lastResult = hr;
    }
    m_open = TRUE;
    hr = m_editor->QueryInterface(__uuidof(IWMHeaderInfo3), reinterpret_cast<void**>(&m_header));
    if (FAILED(hr)) {
        m_editor->Close();
        ReleaseAll();
        return m_lastResult = hr;
    }
    ReadStoredList();
    return m_lastResult = S_OK;
}

bool CMediaMarkers::ReadUserText(WORD index, CString& description, CString& text) const
{
    description.Empty();
    text.Empty();
    WORD nameLength = 0;
    DWORD length = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
    WORD language = 0;
    HRESULT hr = m_header->GetAttributeByIndexEx(0, index, nullptr, &nameLength, &type, &language, nullptr, &length);
    if (FAILED(hr) || length == 0 || nameLength == 0)
        return false;
    // A user text is a WM_USER_TEXT followed by its texts; anything else holds no list.
    if (type != WMT_TYPE_BINARY || length < sizeof(WM_USER_TEXT) || length > 16 * 1024 * 1024)
        return false;
    std::vector<wchar_t> name(nameLength + 1u, 0);
    std::vector<BYTE> value(length + 2u, 0);
    hr = m_header->GetAttributeByIndexEx(0, index, name.data(), &nameLength, &type, &language, value.data(), &length);
    if (FAILED(hr))
        return false;
    if (wcscmp(name.data(), WM_ATTR_USER_TEXT) != 0 || length == 0 || length < sizeof(WM_USER_TEXT) ||
        length + 2u > value.size())
        return false;

    // The texts must lie inside the value and end there.
    WM_USER_TEXT stored;
    std::memcpy(&stored, value.data(), sizeof(stored));
    const wchar_t* begin = reinterpret_cast<const wchar_t*>(value.data());
    const wchar_t* end = reinterpret_cast<const wchar_t*>(value.data() + length);
    auto inside = [&](const wchar_t* p, CString& out) {
        if (!p || p < begin || p >= end)
            return;
        const wchar_t* q = p;
        while (q < end && *q)
            ++q;
        if (q < end && q > p)
            out = CString(p, static_cast<int>(q - p));
    };
    inside(stored.pwszDescription, description);
    inside(stored.pwszText, text);
    return true;
}

HRESULT CMediaMarkers::ReadStoredList()
{
    m_attributeIndex = -1;
    m_storedDescription.Empty();
    m_storedText.Empty();
    ClearList();
    m_changed = FALSE;
    if (!m_header)
        return E_POINTER;

    WORD count = 0;
    HRESULT hr = m_header->GetAttributeIndices(0, WM_ATTR_USER_TEXT, nullptr, nullptr, &count);
    if (FAILED(hr) || count == 0)
        return hr;
    std::vector<WORD> indices(count);
    hr = m_header->GetAttributeIndices(0, WM_ATTR_USER_TEXT, nullptr, indices.data(), &count);
    if (FAILED(hr) || count == 0 || count > indices.size())
        return hr;
    WORD index = indices[count - 1];
    ReadUserText(index, m_storedDescription, m_storedText);
    if (m_storedDescription == kDescription) {
        m_attributeIndex = index;
        ParseMarkerText(m_storedText);
    }
    return S_OK;
}

int CMediaMarkers::ParseMarkerText(const CString& text)
{
    ClearList();
    int position = 0;
    while (m_count < kMaxMarkers) {
        int open = text.Find(L"<Marker>", position);
        int close = text.Find(L"</Marker>", position);
        if (open < 0 || close < 0)
            break;
        int contentStart = open + 8;
        CString content = close > contentStart ? text.Mid(contentStart, close - contentStart) : CString();
        position = close + 9;
        CString name, time;
        if (!TextBetween(content, L"<Name>", L"</Name>", name) || name.IsEmpty() ||
            !TextBetween(content, L"<Time>", L"</Time>", time) || time.IsEmpty())
            continue;
        m_markers[m_count].name = name.Left(kMaxNameLength);
        m_markers[m_count].time = ParseMarkerTime(time);
        ++m_count;
    }
    return m_count;
}

CString CMediaMarkers::FormatMarkerTime(DWORD milliseconds)
{
    DWORD ms = milliseconds % 1000;
    DWORD totalSeconds = milliseconds / 1000;
    DWORD seconds = totalSeconds % 60;
    DWORD minutes = (totalSeconds / 60) % 60;
    DWORD hours = totalSeconds / 3600;
    CString text;
    if (hours == 0)
        text.Format(L"%02d:%02d.%03d", static_cast<int>(minutes), static_cast<int>(seconds), static_cast<int>(ms));
    else
        text.Format(L"%02d:%02d:%02d.%03d", static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(seconds),
                    static_cast<int>(ms));
    return text;
}

DWORD CMediaMarkers::ParseMarkerTime(const CString& text)
{
    if (text.IsEmpty())
        return 0;
    int point = text.ReverseFind(L'.');
    if (point < 0 && text.Find(L':') < 0)
        return DecimalPrefix(text);
    DWORD ms = 0;
    CString clock = text;
    if (point >= 0) {
        ms = DecimalPrefix(text.Mid(point + 1));
        clock = text.Left(point);
    }
    // Components counted from the right: seconds, minutes, hours; further ones are ignored.
    DWORD parts[3] = {0, 0, 0};
    int end = clock.GetLength();
    for (int i = 0; i < 3 && end >= 0; ++i) {
        int colon = end > 0 ? clock.Left(end).ReverseFind(L':') : -1;
        parts[i] = DecimalPrefix(clock.Mid(colon + 1, end - colon - 1));
        if (colon < 0)
            break;
        end = colon;
    }
    return ((parts[2] * 60 + parts[1]) * 60 + parts[0]) * 1000 + ms;
}

CString CMediaMarkers::BuildMarkerText() const
{
    CString text = L"<Markers>";
    for (int i = 0; i < m_count; ++i) {
        text += L"<Marker><Name>";
        text += m_markers[i].name;
        text += L"</Name><Time>";
        text += FormatMarkerTime(m_markers[i].time);
        text += L"</Time></Marker>";
    }
    text += L"</Markers>";
    return text;
}

CString CMediaMarkers::GetMarkerName(int index) const
{
    if (!m_open || index < 0 || index >= m_count)
        return CString();
    return m_markers[index].name;
}

DWORD CMediaMarkers::GetMarkerTime(int index) const
{
    if (!m_open || index < 0 || index >= m_count)
        return 0;
    return m_markers[index].time;
}

HRESULT CMediaMarkers::AddMarker(const wchar_t* name, DWORD time)
{
    if (m_count >= kMaxMarkers)
        return m_lastResult = E_INVALIDARG;
    m_markers[m_count].name = CString(name).Left(kMaxNameLength);
    m_markers[m_count].time = time;
    ++m_count;
    m_changed = TRUE;
    return m_lastResult = S_OK;
}

HRESULT CMediaMarkers::RemoveMarker(int index)
{
    if (m_count == 0 || index < 0 || index >= m_count)
        return m_lastResult = WM_E_NOT_FOUND;
    for (int i = index; i + 1 < m_count; ++i)
        m_markers[i] = m_markers[i + 1];
    --m_count;
    m_markers[m_count].name.Empty();
    m_markers[m_count].time = 0;
    m_changed = TRUE;
    return m_lastResult = S_OK;
}

HRESULT CMediaMarkers::WriteAttribute(const CString& text, bool reparse)
{
    if (!m_header)
        return E_POINTER;
    if (text.IsEmpty())
        return E_INVALIDARG;
    if (m_attributeIndex >= 0) {
        WORD count = 0;
        HRESULT hr = m_header->GetAttributeCountEx(0, &count);
        if (SUCCEEDED(hr) && m_attributeIndex < count) {
            hr = m_header->DeleteAttribute(0, static_cast<WORD>(m_attributeIndex));
            if (SUCCEEDED(hr))
                m_attributeIndex = -1;
        }
        // The slots are emptied; the list lives on in the text being written.
        ClearList();
        if (FAILED(hr))
            return hr;
    }
    // Older copies of the list that a reader no longer reaches (left before another user
    // text of the file): the one written now replaces them all. Texts of other descriptions
    // stay as they are.
    WORD count = 0;
    if (SUCCEEDED(m_header->GetAttributeIndices(0, WM_ATTR_USER_TEXT, nullptr, nullptr, &count)) && count) {
        std::vector<WORD> indices(count);
        if (SUCCEEDED(m_header->GetAttributeIndices(0, WM_ATTR_USER_TEXT, nullptr, indices.data(), &count)))
            for (WORD i = count; i-- > 0;) {
                CString description, stale;
                if (ReadUserText(indices[i], description, stale) && description == kDescription) {
                    HRESULT hr = m_header->DeleteAttribute(0, indices[i]);
                    if (FAILED(hr))
                        return hr;
                }
            }
    }
    CString description = kDescription;
    WM_USER_TEXT value;
    value.pwszDescription = description.GetBuffer();
    CString body = text;
    value.pwszText = body.GetBuffer();
    // The structure's own size (two pointers) plus both texts with their NULs.
    size_t length = sizeof(WM_USER_TEXT) + (description.GetLength() + 1 + body.GetLength() + 1) * sizeof(wchar_t);
    WORD newIndex = 0;
    HRESULT hr = m_header->AddAttribute(0, WM_ATTR_USER_TEXT, &newIndex, WMT_TYPE_BINARY, 0,
                                        reinterpret_cast<const BYTE*>(&value), static_cast<DWORD>(length));
    description.ReleaseBuffer();
    body.ReleaseBuffer();
    if (SUCCEEDED(hr) && reparse)
        ParseMarkerText(text);
    return hr;
}

HRESULT CMediaMarkers::Close(BOOL save)
{
    HRESULT hr = S_OK;
    if (m_open && m_editor) {
        if (save && m_changed)
            hr = WriteAttribute(BuildMarkerText(), false);
        if (save && SUCCEEDED(hr))
            hr = m_editor->Flush();
        // A failed write or flush is reported, not hidden behind a successful close.
        HRESULT closed = m_editor->Close();
        if (SUCCEEDED(hr))
            hr = closed;
    }
    ReleaseAll();
    return m_lastResult = hr;
}

CWMEditor::~CWMEditor() { Close(); }

void CWMEditor::ReleaseAll()
{
    ReleaseRef(m_header);
    ReleaseRef(m_editor2);
    ReleaseRef(m_editor);
    m_open = FALSE;
}

HRESULT CWMEditor::Open(const wchar_t* path)
{
    if (m_editor)
        Close();
    HRESULT hr = WMCreateEditor(&m_editor);
    if (SUCCEEDED(hr))
        hr = m_editor->QueryInterface(__uuidof(IWMMetadataEditor2), reinterpret_cast<void**>(&m_editor2));
    if (SUCCEEDED(hr))
        hr = m_editor2->OpenEx(path, GENERIC_READ, FILE_SHARE_READ);
    if (SUCCEEDED(hr)) {
        hr = m_editor->QueryInterface(__uuidof(IWMHeaderInfo3), reinterpret_cast<void**>(&m_header));
        if (FAILED(hr))
            m_editor->Close();
    }
    if (FAILED(hr)) {
        ReleaseAll();
        return m_lastResult = hr;
    }
    m_open = TRUE;
    return m_lastResult = S_OK;
}

int CWMEditor::GetMarkerCount()
{
    if (!m_open || !m_header)
        return -1;
    WORD count = 0;
    m_lastResult = m_header->GetMarkerCount(&count);
    return FAILED(m_lastResult) ? -1 : count;
}

CString CWMEditor::GetMarkerName(int index)
{
    if (!m_open || !m_header || index < 0 || index > 0xFFFF)
        return CString();
    WORD length = 0;
    QWORD time = 0;
    m_lastResult = m_header->GetMarker(static_cast<WORD>(index), nullptr, &length, &time);
    if (FAILED(m_lastResult) || length == 0)
        return CString();
    std::vector<wchar_t> name(length + 1u, 0);
    m_lastResult = m_header->GetMarker(static_cast<WORD>(index), name.data(), &length, &time);
    if (FAILED(m_lastResult))
        return CString();
    return CString(name.data());
}

DWORD CWMEditor::GetMarkerTime(int index)
{
    if (!m_open || !m_header || index < 0 || index > 0xFFFF)
        return 0;
    WORD length = 0;
    QWORD time = 0;
    m_lastResult = m_header->GetMarker(static_cast<WORD>(index), nullptr, &length, &time);
    if (FAILED(m_lastResult))
        return 0;
    return static_cast<DWORD>(time / 10000);
}

HRESULT CWMEditor::GetAttribute(const wchar_t* name, WMT_ATTR_DATATYPE& type, QWORD& value)
{
    if (!m_open || !m_header)
        return m_lastResult = NS_E_INVALID_REQUEST;
    WORD stream = 0, length = 0;
    HRESULT hr = m_header->GetAttributeByName(&stream, name, &type, nullptr, &length);
    if (FAILED(hr))
        return m_lastResult = hr;
    BYTE storage[8] = {};
    bool numeric = (type == WMT_TYPE_QWORD && length == 8) || ((type == WMT_TYPE_DWORD || type == WMT_TYPE_BOOL) && length == 4) ||
                   (type == WMT_TYPE_WORD && length == 2);
    if (!numeric)
        return m_lastResult = DISP_E_TYPEMISMATCH;
    hr = m_header->GetAttributeByName(&stream, name, &type, storage, &length);
    if (FAILED(hr))
        return m_lastResult = hr;
    value = 0;
    std::memcpy(&value, storage, length <= 8 ? length : 8);
    return m_lastResult = S_OK;
}

HRESULT CWMEditor::GetAttributeText(const wchar_t* name, CString& text)
{
    text.Empty();
    if (!m_open || !m_header)
        return m_lastResult = NS_E_INVALID_REQUEST;
    WORD stream = 0, length = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
    HRESULT hr = m_header->GetAttributeByName(&stream, name, &type, nullptr, &length);
    if (FAILED(hr))
        return m_lastResult = hr;
    if (type != WMT_TYPE_STRING)
        return m_lastResult = DISP_E_TYPEMISMATCH;
    std::vector<wchar_t> buffer(length / sizeof(wchar_t) + 1u, 0);
    hr = m_header->GetAttributeByName(&stream, name, &type, reinterpret_cast<BYTE*>(buffer.data()), &length);
    if (FAILED(hr))
        return m_lastResult = hr;
    text = buffer.data();
    return m_lastResult = S_OK;
}

HRESULT CWMEditor::Close()
{
    HRESULT hr = m_editor ? m_editor->Close() : NS_E_INVALID_REQUEST;
    ReleaseAll();
    return m_lastResult = hr;
}
