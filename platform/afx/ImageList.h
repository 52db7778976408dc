// CImageList: a comctl32 image list (HIMAGELIST) owned by the object.
#pragma once

#include "CObject.h"

#include <commctrl.h>

class CImageList : public CObject {
    DECLARE_DYNAMIC(CImageList)
public:
    CImageList() = default;
    ~CImageList() override { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // From a bitmap resource of the resource module: pictures cx wide side by side,
    // the pixels of the mask colour transparent (ILC_COLOR32 | ILC_MASK).
    BOOL Create(UINT bitmapId, int cx, int grow, COLORREF mask);
    BOOL Attach(HIMAGELIST list);
    HIMAGELIST Detach();
    BOOL DeleteImageList();

    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    operator HIMAGELIST() const { return m_hImageList; }
    int GetImageCount() const;
    // Makes the list hold exactly count pictures (new places are blank until replaced),
    // so that a list whose size is known is not grown one step at a time.
    BOOL SetImageCount(int count);
    BOOL GetImageInfo(int index, IMAGEINFO* info) const;

    // Each returns the new picture's index, or -1.
    int Add(HBITMAP bitmap, COLORREF mask);
    // A bitmap with an explicit mask bitmap (null: no mask).
    int Add(HBITMAP bitmap, HBITMAP mask);
    int Add(HICON icon);
    // Replaces the picture at index (-1 appends); returns its index or -1.
    int Replace(int index, HICON icon);
    BOOL Remove(int index);
    BOOL Draw(HDC dc, int index, POINT at, UINT style) const;

    HIMAGELIST m_hImageList = nullptr;
};

// Loads a bitmap resource of the resource module as a DIB section (null when missing).
HBITMAP AfxLoadBitmap(UINT bitmapId);
