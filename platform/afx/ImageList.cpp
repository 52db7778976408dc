#include "ImageList.h"

#include "AfxResource.h"

IMPLEMENT_DYNAMIC(CImageList, CObject)

HBITMAP AfxLoadBitmap(UINT bitmapId)
{
    return static_cast<HBITMAP>(
        LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    DeleteImageList();
    m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
}

BOOL CImageList::Create(UINT bitmapId, int cx, int grow, COLORREF mask)
{
    HBITMAP bitmap = AfxLoadBitmap(bitmapId);
    if (!bitmap)
        return FALSE;
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    BOOL ok = cx > 0 && info.bmHeight > 0 && Create(cx, info.bmHeight, ILC_COLOR32 | ILC_MASK, info.bmWidth / cx, grow);
    if (ok && Add(bitmap, mask) < 0) {
        DeleteImageList();
        ok = FALSE;
    }
    DeleteObject(bitmap);
    return ok;
}

BOOL CImageList::Attach(HIMAGELIST list)
{
    DeleteImageList();
    m_hImageList = list;
    return list != nullptr;
}

HIMAGELIST CImageList::Detach()
{
    HIMAGELIST list = m_hImageList;
    m_hImageList = nullptr;
    return list;
}

BOOL CImageList::DeleteImageList()
{
    if (!m_hImageList)
        return FALSE;
    ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
    return TRUE;
}

int CImageList::GetImageCount() const { return m_hImageList ? ImageList_GetImageCount(m_hImageList) : 0; }

BOOL CImageList::SetImageCount(int count)
{
    if (!m_hImageList || count < 0 || !ImageList_SetImageCount(m_hImageList, static_cast<UINT>(count)))
        return FALSE;
    if (count == 0)
        return TRUE;
    // Wine reports success also when it could not make the larger bitmap (out of memory):
    // the last place must really lie inside the list's bitmap.
    IMAGEINFO info{};
    BITMAP bitmap{};
    return ImageList_GetImageInfo(m_hImageList, count - 1, &info) && info.hbmImage &&
           GetObjectW(info.hbmImage, sizeof bitmap, &bitmap) && info.rcImage.right <= bitmap.bmWidth &&
           info.rcImage.bottom <= bitmap.bmHeight;
}

BOOL CImageList::GetImageInfo(int index, IMAGEINFO* info) const
{
    return m_hImageList && ImageList_GetImageInfo(m_hImageList, index, info);
}

int CImageList::Add(HBITMAP bitmap, COLORREF mask)
{
    return m_hImageList ? ImageList_AddMasked(m_hImageList, bitmap, mask) : -1;
}

int CImageList::Add(HBITMAP bitmap, HBITMAP mask)
{
    return m_hImageList ? ImageList_Add(m_hImageList, bitmap, mask) : -1;
}

int CImageList::Add(HICON icon) { return Replace(-1, icon); }

int CImageList::Replace(int index, HICON icon)
{
    return m_hImageList ? ImageList_ReplaceIcon(m_hImageList, index, icon) : -1;
}

BOOL CImageList::Remove(int index) { return m_hImageList && ImageList_Remove(m_hImageList, index); }

BOOL CImageList::Draw(HDC dc, int index, POINT at, UINT style) const
{
    return m_hImageList && ImageList_Draw(m_hImageList, index, dc, at.x, at.y, style);
}
