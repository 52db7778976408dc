// The picture lists of the library's views: creating them from the bitmap strips, and
// the framed square icons made from a title's thumbnail.
#pragma once

#include "afx.h"

namespace Gdiplus {
class Image;
}

// Creates a picture list from a bitmap resource whose height is the picture size and
// whose width is a whole multiple of it; the list grows by 10.
BOOL CreateImageListFromBitmap(CImageList& list, int size, UINT bitmapId, UINT flags, COLORREF mask);
// A square icon of the image fitted into the side minus 4, framed (see the source).
HICON MakeThumbnailIcon(Gdiplus::Image& image, int size);
