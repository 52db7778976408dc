// A source's banner image, painted unscaled at the top-left corner of a dialog or page when
// it erases its background (the Get Media dialog, the Source page of the properties).
#pragma once

#include "afx.h"

#include <memory>

class CDC;
namespace Gdiplus {
class Image;
}

class CBannerPicture {
public:
    // GDI+ runs while the object lives.
    CBannerPicture();
    ~CBannerPicture();
    CBannerPicture(const CBannerPicture&) = delete;
    CBannerPicture& operator=(const CBannerPicture&) = delete;

    // The picture of the file; false (and no picture) when it can't be read.
    bool Load(const CString& path);
    // The bitmap resource of the program; false when it is missing.
    bool LoadResource(UINT bitmapId);
    void Paint(CDC* dc) const;
    const Gdiplus::Image* Get() const { return m_image.get(); }

private:
    ULONG_PTR m_gdiplus = 0;
    std::unique_ptr<Gdiplus::Image> m_image;
};
