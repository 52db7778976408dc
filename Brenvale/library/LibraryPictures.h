// The picture lists of the library's views: creating them from the bitmap strips, and
// the framed square icons made from a title's thumbnail.
#pragma once

#include "afx.h"

#include <vector>

namespace Gdiplus {
class Image;
}

// Creates a picture list from a bitmap resource whose height is the picture size and
// whose width is a whole multiple of it; the list grows by 10.
BOOL CreateImageListFromBitmap(CImageList& list, int size, UINT bitmapId, UINT flags, COLORREF mask);
// A square icon of the image fitted into the side minus 4, framed (see the source).
HICON MakeThumbnailIcon(Gdiplus::Image& image, int size);

// The framed pictures of a thumbnail at the four sizes of the library's lists (16, 32,
// 48 and 96), drawn as 32-bit bitmaps with alpha and a mask that is set where they are
// transparent (what an icon of them holds), and put into the lists without making icons.
// The four canvases are kept for the painter's life, so one painter serves many titles.
class ThumbnailPainter {
public:
    ThumbnailPainter();
    ~ThumbnailPainter();
    ThumbnailPainter(const ThumbnailPainter&) = delete;
    ThumbnailPainter& operator=(const ThumbnailPainter&) = delete;

    bool Paint(Gdiplus::Image& image);
    // False when the file is missing or not a picture GDI+ reads.
    bool PaintFile(const CString& path);
    // Replaces the place index of each of the four lists with the pictures last painted.
    bool Put(CImageList (&lists)[4], int index) const;
    HBITMAP GetColor(int sizeIndex) const { return m_color[sizeIndex]; }
    HBITMAP GetMask(int sizeIndex) const { return m_mask[sizeIndex]; }

private:
    HBITMAP m_color[4] = {};
    DWORD* m_pixels[4] = {};
    HBITMAP m_mask[4] = {};
    std::vector<BYTE> m_maskBits[4];
};
