// cMemDC against real GDI under Wine: when the surface is made again, and who owns the bitmap.
#include "cv3client/support/mem_dc_win32.h"

#include <gtest/gtest.h>

namespace cv3 {
namespace {

HBITMAP SelectedBitmap(HDC dc) { return static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP)); }

BITMAP Info(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  return info;
}

TEST(MemDC, GrowsOnlyWhenAskedForMore) {
  cMemDC surface;
  surface.SetWidth(100);
  surface.SetHeight(40);
  HDC dc = surface.hDC();
  ASSERT_NE(dc, nullptr);
  HBITMAP first = SelectedBitmap(dc);
  EXPECT_EQ(Info(first).bmWidth, 100);
  EXPECT_EQ(Info(first).bmHeight, 40);
  // Smaller: the same DC and bitmap, the size as asked.
  surface.SetWidth(50);
  EXPECT_EQ(surface.hDC(), dc);
  EXPECT_EQ(SelectedBitmap(dc), first);
  EXPECT_EQ(surface.Width(), 50);
  // Larger: a new bitmap in the same DC, the old one deleted.
  surface.SetWidth(200);
  EXPECT_EQ(surface.hDC(), dc);
  EXPECT_NE(SelectedBitmap(dc), first);
  EXPECT_EQ(Info(SelectedBitmap(dc)).bmWidth, 200);
  EXPECT_EQ(GetObjectType(first), 0u);
  // Monochrome on request.
  surface.SetMono(true);
  ASSERT_NE(surface.hDC(), nullptr);
  EXPECT_EQ(Info(SelectedBitmap(surface.hDC())).bmBitsPixel, 1);
}

TEST(MemDC, AnInjectedBitmapIsExtractedAndThenNotDeleted) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 30, 20);
  ReleaseDC(nullptr, screen);
  {
    cMemDC surface;
    ASSERT_TRUE(surface.InjectBitmap(bitmap));
    EXPECT_EQ(surface.Width(), 30);
    EXPECT_EQ(surface.Height(), 20);
    EXPECT_EQ(SelectedBitmap(surface.hDC()), bitmap);
    EXPECT_EQ(surface.ExtractBitmap(), bitmap);
  }
  EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  DeleteObject(bitmap);
}

}  // namespace
}  // namespace cv3
