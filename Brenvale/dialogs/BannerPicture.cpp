#include "BannerPicture.h"

#include "DC.h"
#include "FileUtils.h"

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

CBannerPicture::CBannerPicture()
{
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplus, &input, nullptr);
}

CBannerPicture::~CBannerPicture()
{
    m_image.reset();
    if (m_gdiplus)
        Gdiplus::GdiplusShutdown(m_gdiplus);
}

bool CBannerPicture::Load(const CString& path)
{
    m_image.reset();
    if (path.IsEmpty() || !FileExists(path))
        return false;
    auto image = std::make_unique<Gdiplus::Image>(path.GetString());
    if (image->GetLastStatus() != Gdiplus::Ok || image->GetWidth() == 0)
        return false;
    m_image = std::move(image);
    return true;
}

bool CBannerPicture::LoadResource(UINT bitmapId)
{
    m_image.reset();
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap)
        return false;
    std::unique_ptr<Gdiplus::Bitmap> image(Gdiplus::Bitmap::FromHBITMAP(bitmap, nullptr));
    // The GDI+ bitmap keeps a copy: the handle goes.
    const bool ok = image && image->GetLastStatus() == Gdiplus::Ok && image->GetWidth() > 0;
    if (ok)
        m_image.reset(image.release());
    DeleteObject(bitmap);
    return ok;
}

void CBannerPicture::Paint(CDC* dc) const
{
    if (!m_image || !dc)
        return;
    Gdiplus::Graphics graphics(dc->m_hDC);
    graphics.DrawImage(m_image.get(), 0, 0, static_cast<INT>(m_image->GetWidth()), static_cast<INT>(m_image->GetHeight()));
}
