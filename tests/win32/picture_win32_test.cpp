#include "cv3client/support/picture_win32.h"

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace cv3 {
namespace {

// The committed assets; a Unix path (the cross build run under Wine) is on drive Z:.
std::wstring AssetPath(const std::wstring& relative) {
  std::string dir = CV3_ASSETS_DIR;
  std::wstring path(dir.begin(), dir.end());
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  return path + relative;
}

// The pixels of a bitmap, top row first, as COLORREF values.
std::vector<COLORREF> PixelsOf(HBITMAP bitmap, SIZE size) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> raw(static_cast<size_t>(size.cx) * size.cy);
  HDC screen = GetDC(nullptr);
  int lines = GetDIBits(screen, bitmap, 0, size.cy, raw.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (lines != size.cy) return {};
  std::vector<COLORREF> pixels;
  for (uint32_t bgra : raw)
    pixels.push_back(RGB((bgra >> 16) & 255, (bgra >> 8) & 255, bgra & 255));
  return pixels;
}

// WCAG relative luminance and contrast ratio.
double Luminance(COLORREF colour) {
  auto channel = [](int value) {
    double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(GetRValue(colour)) + 0.7152 * channel(GetGValue(colour)) +
         0.0722 * channel(GetBValue(colour));
}
double Contrast(COLORREF a, COLORREF b) {
  double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class PictureTest : public ::testing::Test {
 protected:
  GdiplusSession gdiplus_;
};

TEST_F(PictureTest, GdiplusStarts) { EXPECT_TRUE(gdiplus_.ok()); }

TEST_F(PictureTest, LoadsTheCommittedPicturesInTheirSizes) {
  struct Expected {
    const wchar_t* name;
    LONG width, height;
  };
  for (Expected e : {Expected{kLogoPicture, 200, 140}, Expected{kFramePicture, 128, 128},
                     Expected{kTilePicture, 64, 64}, Expected{kRosterImages, 128, 16},
                     Expected{kToolbarImages, 72, 24}}) {
    cv3::Picture picture = LoadPictureFile(gdiplus_, AssetPath(e.name));
    ASSERT_TRUE(picture) << e.name;
    EXPECT_EQ(picture.size().cx, e.width) << e.name;
    EXPECT_EQ(picture.size().cy, e.height) << e.name;
    BITMAP info{};
    ASSERT_EQ(GetObjectW(picture.bitmap(), sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, e.width);
    EXPECT_EQ(info.bmHeight, e.height);
  }
}

TEST_F(PictureTest, NearWhiteTextReadsWellOnEveryPixelOfTheTile) {
  cv3::Picture tile = LoadPictureFile(gdiplus_, AssetPath(kTilePicture));
  ASSERT_TRUE(tile);
  std::vector<COLORREF> pixels = PixelsOf(tile.bitmap(), tile.size());
  ASSERT_EQ(pixels.size(), 64u * 64u);
  double worst = 100;
  for (COLORREF pixel : pixels) worst = std::min(worst, Contrast(pixel, RGB(0xF8, 0xF8, 0xF8)));
  EXPECT_GE(worst, 7.0);  // the strictest level of the accessibility guidelines
}

// Writes a 3 x 2 bitmap file with known pixels: top row red, green, blue; bottom row grey,
// black, white.
void WriteBmp(const std::wstring& path) {
  const uint8_t rows[2][3][3] = {{{128, 128, 128}, {0, 0, 0}, {255, 255, 255}},  // bottom, BGR
                                 {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}}};
  std::vector<uint8_t> data;
  for (const auto& row : rows) {
    for (const auto& pixel : row) data.insert(data.end(), pixel, pixel + 3);
    data.resize(data.size() + 3, 0);  // each row padded to 12 bytes
  }
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + data.size();
  info.biSize = sizeof info;
  info.biWidth = 3;
  info.biHeight = 2;
  info.biPlanes = 1;
  info.biBitCount = 24;
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(reinterpret_cast<const char*>(data.data()), data.size());
}

TEST_F(PictureTest, HandsOutTheFilesPixels) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  std::wstring path = std::wstring(dir) + L"cv3_picture_test.bmp";
  WriteBmp(path);
  cv3::Picture picture = LoadPictureFile(gdiplus_, path);
  DeleteFileW(path.c_str());
  ASSERT_TRUE(picture);
  std::vector<COLORREF> pixels = PixelsOf(picture.bitmap(), picture.size());
  std::vector<COLORREF> expected = {RGB(255, 0, 0),     RGB(0, 255, 0), RGB(0, 0, 255),
                                    RGB(128, 128, 128), RGB(0, 0, 0),   RGB(255, 255, 255)};
  EXPECT_EQ(pixels, expected);
}

TEST_F(PictureTest, AMissingFileGivesNoPicture) {
  cv3::Picture picture = LoadPictureFile(gdiplus_, AssetPath(L"/pictures/none.gif"));
  EXPECT_FALSE(picture);
  EXPECT_EQ(picture.size().cx, 0);
  EXPECT_EQ(LoadImageStrip(gdiplus_, AssetPath(L"/pictures/none.gif")), nullptr);
}

TEST_F(PictureTest, MovingHandsTheBitmapOver) {
  cv3::Picture first = LoadPictureFile(gdiplus_, AssetPath(kTilePicture));
  ASSERT_TRUE(first);
  HBITMAP bitmap = first.bitmap();
  cv3::Picture second = std::move(first);
  EXPECT_FALSE(first);
  EXPECT_EQ(second.bitmap(), bitmap);
  HBITMAP released = second.release();
  EXPECT_EQ(released, bitmap);
  EXPECT_FALSE(second);
  EXPECT_EQ(GetObjectType(released), static_cast<DWORD>(OBJ_BITMAP));  // not deleted
  DeleteObject(released);
}

int ImageSize(HIMAGELIST list) {
  int cx = 0, cy = 0;
  ImageList_GetIconSize(list, &cx, &cy);
  return cx == cy ? cx : -1;
}

TEST_F(PictureTest, CutsTheStripsIntoImageLists) {
  HIMAGELIST roster = LoadImageStrip(gdiplus_, AssetPath(kRosterImages));
  ASSERT_NE(roster, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(roster), 8);
  EXPECT_EQ(ImageSize(roster), 16);
  ImageList_Destroy(roster);
  HIMAGELIST toolbar = LoadImageStrip(gdiplus_, AssetPath(kToolbarImages));
  ASSERT_NE(toolbar, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(toolbar), 3);
  EXPECT_EQ(ImageSize(toolbar), 24);
  ImageList_Destroy(toolbar);
}

TEST_F(PictureTest, ScalesAStripToAnotherCellSize) {
  HIMAGELIST roster = LoadImageStrip(gdiplus_, AssetPath(kRosterImages), 32);
  ASSERT_NE(roster, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(roster), 8);
  EXPECT_EQ(ImageSize(roster), 32);
  ImageList_Destroy(roster);
}

// Draws image `index` of the list over a red square and returns the pixels.
std::vector<COLORREF> DrawnOverRed(HIMAGELIST list, int index, int size) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
  ReleaseDC(nullptr, screen);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, size, size};
  FillRect(dc, &all, red);
  DeleteObject(red);
  ImageList_Draw(list, index, dc, 0, 0, ILD_TRANSPARENT);
  SelectObject(dc, previous);
  DeleteDC(dc);
  std::vector<COLORREF> pixels = PixelsOf(bitmap, {size, size});
  DeleteObject(bitmap);
  return pixels;
}

TEST_F(PictureTest, TheMaskColourOfAStripIsTransparent) {
  HIMAGELIST roster = LoadImageStrip(gdiplus_, AssetPath(kRosterImages));
  ASSERT_NE(roster, nullptr);
  // Image 5 is unused and empty: nothing of it shows.
  for (COLORREF pixel : DrawnOverRed(roster, 4, 16)) ASSERT_EQ(pixel, RGB(255, 0, 0));
  // Image 2, the online pilot: its corner shows the red, its middle does not, and no pixel
  // shows the mask colour itself.
  std::vector<COLORREF> online = DrawnOverRed(roster, 1, 16);
  EXPECT_EQ(online[0], RGB(255, 0, 0));
  EXPECT_NE(online[8 * 16 + 8], RGB(255, 0, 0));
  EXPECT_EQ(std::count(online.begin(), online.end(), kStripMask), 0);
  ImageList_Destroy(roster);
}

TEST(ApplicationIcon, HoldsThe16And32And48PixelImages) {
  std::ifstream in(std::filesystem::path(AssetPath(L"/cv3client.ico")), std::ios::binary);
  ASSERT_TRUE(in);
  uint16_t header[3] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  EXPECT_EQ(header[0], 0);
  EXPECT_EQ(header[1], 1);  // an icon
  std::set<int> sizes;
  for (int i = 0; i < header[2]; ++i) {
    uint8_t entry[16] = {};
    in.read(reinterpret_cast<char*>(entry), sizeof entry);
    if (entry[0] == entry[1]) sizes.insert(entry[0]);
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));
  // And Windows reads it.
  HICON icon = static_cast<HICON>(LoadImageW(nullptr, AssetPath(L"/cv3client.ico").c_str(),
                                             IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
  EXPECT_NE(icon, nullptr);
  if (icon) DestroyIcon(icon);
}

}  // namespace
}  // namespace cv3
