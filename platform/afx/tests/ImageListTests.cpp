// CImageList: an owned comctl32 image list: pictures added, replaced and removed, handed
// over with Attach and Detach.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

HICON SolidIcon(int size)
{
    std::vector<BYTE> andMask(static_cast<size_t>(size * size / 8), 0);
    std::vector<DWORD> colour(static_cast<size_t>(size * size), 0xFF3366CC);
    return CreateIcon(nullptr, size, size, 1, 32, andMask.data(), reinterpret_cast<const BYTE*>(colour.data()));
}

}  // namespace

TEST(ImageListTest, AddsReplacesAndRemovesPictures)
{
    CImageList list;
    EXPECT_EQ(list.GetImageCount(), 0);
    EXPECT_EQ(list.Add(static_cast<HICON>(nullptr)), -1) << "no list yet";
    ASSERT_TRUE(list.Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4));
    HICON icon = SolidIcon(16);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(list.Add(icon), 0);
    EXPECT_EQ(list.Add(icon), 1);

    // A strip of three pictures, each 16 wide, in one bitmap.
    HDC screen = GetDC(nullptr);
    HBITMAP strip = CreateCompatibleBitmap(screen, 48, 16);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(list.Add(strip, RGB(255, 0, 255)), 2);
    DeleteObject(strip);
    EXPECT_EQ(list.GetImageCount(), 5);

    EXPECT_EQ(list.Replace(1, icon), 1);
    IMAGEINFO info{};
    ASSERT_TRUE(list.GetImageInfo(4, &info));
    EXPECT_EQ(info.rcImage.right - info.rcImage.left, 16);
    EXPECT_FALSE(list.GetImageInfo(5, &info));
    EXPECT_TRUE(list.Remove(0));
    EXPECT_EQ(list.GetImageCount(), 4);
    DestroyIcon(icon);
}

TEST(ImageListTest, AttachDetachAndTheMissingBitmapResource)
{
    CImageList list;
    EXPECT_FALSE(list.DeleteImageList());
    HIMAGELIST raw = ImageList_Create(32, 32, ILC_COLOR32, 1, 1);
    ASSERT_TRUE(list.Attach(raw));
    EXPECT_EQ(list.GetSafeHandle(), raw);
    EXPECT_EQ(list.Detach(), raw);
    EXPECT_EQ(list.GetSafeHandle(), nullptr);
    EXPECT_EQ(ImageList_GetImageCount(raw), 0) << "a detached list stays alive";
    ImageList_Destroy(raw);

    EXPECT_FALSE(list.Create(999, 16, 10, RGB(255, 0, 255)));  // no such bitmap
    EXPECT_EQ(AfxLoadBitmap(999), nullptr);
    EXPECT_EQ(list.GetSafeHandle(), nullptr);
}
