// The library's picture lists: the bitmap strips of the views and the titles'
// thumbnails, made into framed icons of the four sizes.
#include "BrenvaleDoc.h"

#include "FileUtils.h"
#include "res/BrenvaleIds.h"

#include <gdiplus.h>

#include <algorithm>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace {
constexpr COLORREF kPictureMask = RGB(255, 0, 255);
constexpr int kPictureSizes[4] = {16, 32, 48, 96};
constexpr UINT kPictureBitmaps[4] = {IDB_PICTURES_16, IDB_PICTURES_32, IDB_PICTURES_48, IDB_PICTURES_96};

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind(L'\\');
    return slash < 0 ? CString(L".") : path.Left(slash);
}

// Tells cheaply that a file cannot exist because its folder does not: each grandparent
// folder is listed once, so a library of thousands of titles does not ask the file
// system about every missing thumbnail one by one.
class FolderListing {
public:
    bool FolderMissing(const CString& filePath)
    {
        const CString folder = FolderOf(filePath);
        const int slash = folder.ReverseFind(L'\\');
        if (slash <= 0)
            return false;
        CString parent = folder.Left(slash);
        CString name = folder.Mid(slash + 1);
        parent.MakeLower();
        name.MakeLower();
        auto found = m_listings.find(parent.str());
        if (found == m_listings.end())
            found = m_listings.emplace(parent.str(), List(parent)).first;
        // A folder that could not be listed tells nothing: the file is looked for itself.
        return found->second.known && found->second.names.count(name.str()) == 0;
    }

private:
    struct Listing {
        bool known = false;
        std::unordered_set<std::wstring> names;  // sub-folders, lower-cased
    };
    static Listing List(const CString& folder)
    {
        Listing listing;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileExW(folder + L"\\*", FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
        if (find == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            listing.known = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
            return listing;
        }
        listing.known = true;
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                CString name(data.cFileName);
                name.MakeLower();
                listing.names.insert(name.str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return listing;
    }
    std::unordered_map<std::wstring, Listing> m_listings;
};
}  // namespace

BOOL CreateImageListFromBitmap(CImageList& list, int size, UINT bitmapId, UINT flags, COLORREF mask)
{
    HBITMAP bitmap = AfxLoadBitmap(bitmapId);
    if (!bitmap)
        return FALSE;
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    BOOL ok = size > 0 && info.bmHeight == size && info.bmWidth > 0 && info.bmWidth % size == 0 &&
              list.Create(size, size, flags, info.bmWidth / size, 10);
    if (ok && list.Add(bitmap, mask) < 0) {
        list.DeleteImageList();
        ok = FALSE;
    }
    DeleteObject(bitmap);
    return ok;
}

BOOL CBrenvaleDoc::CreatePictureLists()
{
    m_pictureSlots = 0;
    for (int i = 0; i < 4; ++i)
        if (!CreateImageListFromBitmap(m_pictures[i], kPictureSizes[i], kPictureBitmaps[i], ILC_COLOR32 | ILC_MASK,
                                       kPictureMask))
            return FALSE;
    m_pictureSlots = m_pictures[0].GetImageCount();
    return TRUE;
}

void CBrenvaleDoc::AttachPictures(CMediaObject* title)
{
    title->SetPictureIndex(AddTitleIcons(title->GetThumbnailPath(m_dataFolder, FALSE)));
}

namespace {
// Draws the image fitted into the side minus 4 and framed: a grey line round it, and on
// the large pictures a white line just inside. Outside the picture the canvas stays
// transparent.
void DrawThumbnail(Gdiplus::Bitmap& canvas, Gdiplus::Image& image, int size)
{
    using namespace Gdiplus;
    canvas.SetResolution(image.GetHorizontalResolution(), image.GetVerticalResolution());
    Graphics graphics(&canvas);
    graphics.Clear(Color(0x00, 0xFF, 0xFF, 0xFF));
    graphics.SetInterpolationMode(InterpolationModeHighQualityBicubic);
    const int box = size - 4;
    const int width = static_cast<int>(image.GetWidth());
    const int height = static_cast<int>(image.GetHeight());
    int drawnWidth, drawnHeight, x, y;
    if (width <= height) {
        drawnHeight = box;
        drawnWidth = width * box / height;
        x = (box - drawnWidth) / 2 + 2;
        y = 2;
    } else {
        drawnWidth = box;
        drawnHeight = height * box / width;
        y = (box - drawnHeight) / 2 + 2;
        x = 2;
    }
    graphics.DrawImage(&image, x, y, drawnWidth, drawnHeight);
    if (size > 48) {
        Pen white(Color(0xFF, 0xFF, 0xFF, 0xFF), 2);
        graphics.DrawRectangle(&white, x + 1, y + 1, drawnWidth - 2, drawnHeight - 2);
    }
    Pen grey(Color(0xFF, 0xC4, 0xC4, 0xC4), 1);
    graphics.DrawRectangle(&grey, x - 1, y - 1, drawnWidth + 1, drawnHeight + 1);
}
}  // namespace

HICON MakeThumbnailIcon(Gdiplus::Image& image, int size)
{
    Gdiplus::Bitmap canvas(size, size, PixelFormat32bppARGB);
    DrawThumbnail(canvas, image, size);
    HICON icon = nullptr;
    if (canvas.GetHICON(&icon) != Gdiplus::Ok)
        return nullptr;
    return icon;
}

ThumbnailPainter::ThumbnailPainter()
{
    for (int i = 0; i < 4; ++i) {
        const int size = kPictureSizes[i];
        BITMAPINFO header{};
        header.bmiHeader.biSize = sizeof header.bmiHeader;
        header.bmiHeader.biWidth = size;
        header.bmiHeader.biHeight = -size;  // top-down, as GDI+ lays out its rows
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        header.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_color[i] = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_pixels[i] = static_cast<DWORD*>(bits);
        // Rows of a device bitmap are whole 16-bit words.
        m_maskBits[i].assign(static_cast<size_t>((size + 15) / 16 * 2 * size), 0);
        m_mask[i] = CreateBitmap(size, size, 1, 1, nullptr);
    }
}

ThumbnailPainter::~ThumbnailPainter()
{
    for (int i = 0; i < 4; ++i) {
        if (m_color[i])
            DeleteObject(m_color[i]);
        if (m_mask[i])
            DeleteObject(m_mask[i]);
    }
}

bool ThumbnailPainter::Paint(Gdiplus::Image& image)
{
    for (int i = 0; i < 4; ++i) {
        const int size = kPictureSizes[i];
        if (!m_color[i] || !m_mask[i] || !m_pixels[i])
            return false;
        {
            // GDI+ draws straight into the bitmap's own pixels: no copy of them is made.
            Gdiplus::Bitmap canvas(size, size, size * static_cast<INT>(sizeof(DWORD)), PixelFormat32bppARGB,
                                   reinterpret_cast<BYTE*>(m_pixels[i]));
            if (canvas.GetLastStatus() != Gdiplus::Ok)
                return false;
            DrawThumbnail(canvas, image, size);
        }
        // The mask, as an icon of the picture has it: set where the picture is transparent.
        const size_t rowBytes = static_cast<size_t>((size + 15) / 16 * 2);
        std::fill(m_maskBits[i].begin(), m_maskBits[i].end(), BYTE{0});
        for (int y = 0; y < size; ++y) {
            const DWORD* row = m_pixels[i] + static_cast<size_t>(y) * static_cast<size_t>(size);
            BYTE* maskRow = m_maskBits[i].data() + static_cast<size_t>(y) * rowBytes;
            for (int x = 0; x < size; ++x)
                if ((row[x] >> 24) == 0)
                    maskRow[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
        if (SetBitmapBits(m_mask[i], static_cast<LONG>(m_maskBits[i].size()), m_maskBits[i].data()) == 0)
            return false;
    }
    return true;
}

bool ThumbnailPainter::PaintFile(const CString& path)
{
    if (!FileExists(path))
        return false;
    std::unique_ptr<Gdiplus::Bitmap> image(Gdiplus::Bitmap::FromFile(path));
    if (!image || image->GetLastStatus() != Gdiplus::Ok || image->GetHeight() == 0)
        return false;
    return Paint(*image);
}

bool ThumbnailPainter::Put(CImageList (&lists)[4], int index) const
{
    bool all = true;
    for (int i = 0; i < 4; ++i)
        all = lists[i].GetSafeHandle() && ImageList_Replace(lists[i].GetSafeHandle(), index, m_color[i], m_mask[i]) &&
              all;
    return all;
}

int CBrenvaleDoc::AddTitleIcons(const CString& path)
{
    if (!m_gdiplusToken || !m_pictures[0].GetSafeHandle())
        return DefaultTitlePicture;
    ThumbnailPainter painter;
    int index = DefaultTitlePicture;
    if (painter.PaintFile(path)) {
        const int slot = m_pictureSlots;
        bool room = slot < m_pictures[0].GetImageCount();
        if (!room) {
            // Grown geometrically: each picture is copied a bounded number of times however
            // many titles are added one by one.
            constexpr int kMinimumGrowth = 16;
            const int count = slot + std::max(kMinimumGrowth, slot / 4);
            room = true;
            for (CImageList& list : m_pictures)
                room = list.SetImageCount(count) && room;
            if (!room) {
                for (CImageList& list : m_pictures)
                    list.SetImageCount(slot);  // no room for more: the title keeps the placeholder
            }
        }
        if (room && painter.Put(m_pictures, slot)) {
            index = slot;
            ++m_pictureSlots;
        }
    }
    return index;
}

void CBrenvaleDoc::ReplaceTitleIcons(int index, const CString& path)
{
    if (!m_gdiplusToken || !m_pictures[0].GetSafeHandle())
        return;
    ThumbnailPainter painter;
    if (painter.PaintFile(path))
        painter.Put(m_pictures, index);
}


void CBrenvaleDoc::PreparePictures()
{
    m_pendingPictures.clear();
    for (CObject* object : m_titles)
        static_cast<CMediaObject*>(object)->SetPictureIndex(DefaultTitlePicture);
    if (!m_gdiplusToken || !m_pictures[0].GetSafeHandle())
        return;
    // Which titles have a thumbnail file is known before anything is decoded, so each list
    // gets its final size once instead of growing (and being copied) ten pictures at a time.
    FolderListing folders;
    const int first = m_pictureSlots;
    int slot = first;
    for (CObject* object : m_titles) {
        const auto* title = static_cast<CMediaObject*>(object);
        const CString thumbnail = title->GetThumbnailPath(m_dataFolder, FALSE);
        if (!folders.FolderMissing(thumbnail) && FileExists(thumbnail))
            m_pendingPictures.push_back({title->m_mediaId, slot++});
    }
    if (slot > first) {
        for (CImageList& list : m_pictures) {
            if (!list.SetImageCount(slot)) {
                // No room for that many pictures (the four lists take about 50 KB a title,
                // too much for a 32-bit process beyond some tens of thousands of titles):
                // the titles keep the placeholder.
                m_pendingPictures.clear();
                for (CImageList& sized : m_pictures)
                    sized.SetImageCount(first);
                break;
            }
        }
        if (!m_pendingPictures.empty())
            m_pictureSlots = slot;
    }
    if (m_decodePicturesOnLoad)
        FillPendingPictures();
}

INT_PTR CBrenvaleDoc::FillPendingPictures(INT_PTR maxCount, std::vector<const CMediaObject*>* filled)
{
    if (m_pendingPictures.empty())
        return 0;
    // One set of four canvases for the whole turn: the lists copy the pixels they are given.
    ThumbnailPainter painter;
    for (INT_PTR done = 0; !m_pendingPictures.empty() && (maxCount < 0 || done < maxCount); ++done) {
        const PendingPicture pending = m_pendingPictures.front();
        m_pendingPictures.pop_front();
        // A title removed or replaced since the load has had its pictures seen to.
        CMediaObject* title = FindTitle(pending.titleId);
        if (!title || title->GetPictureIndex() != DefaultTitlePicture)
            continue;
        if (painter.PaintFile(title->GetThumbnailPath(m_dataFolder, FALSE)) && painter.Put(m_pictures, pending.slot)) {
            title->SetPictureIndex(pending.slot);
            if (filled)
                filled->push_back(title);
        }
    }
    return GetPendingPictureCount();
}

INT_PTR CBrenvaleDoc::PutPicturesFirst(const std::vector<const CMediaObject*>& titles)
{
    if (titles.empty() || m_pendingPictures.empty())
        return 0;
    std::unordered_map<std::wstring, size_t> order;
    for (const CMediaObject* title : titles)
        if (title)
            order.emplace(title->m_mediaId.str(), order.size());
    auto onScreen = [&](const PendingPicture& pending) { return order.count(pending.titleId.str()) != 0; };
    auto middle = std::stable_partition(m_pendingPictures.begin(), m_pendingPictures.end(), onScreen);
    std::stable_sort(m_pendingPictures.begin(), middle, [&](const PendingPicture& a, const PendingPicture& b) {
        return order[a.titleId.str()] < order[b.titleId.str()];
    });
    return static_cast<INT_PTR>(middle - m_pendingPictures.begin());
}
