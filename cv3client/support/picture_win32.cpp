#include "cv3client/support/picture_win32.h"

#include <gdiplus.h>

#include <utility>

namespace cv3 {

namespace gp = Gdiplus::DllExports;

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input{};
  input.GdiplusVersion = 1;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) token_ = token;
}

GdiplusSession::~GdiplusSession() {
  if (token_) Gdiplus::GdiplusShutdown(token_);
}

Picture::~Picture() {
  if (bitmap_) DeleteObject(bitmap_);
}

Picture::Picture(Picture&& other) noexcept
    : bitmap_(std::exchange(other.bitmap_, nullptr)), size_(std::exchange(other.size_, {})) {}

Picture& Picture::operator=(Picture&& other) noexcept {
  if (this != &other) {
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = std::exchange(other.bitmap_, nullptr);
    size_ = std::exchange(other.size_, {});
  }
  return *this;
}

HBITMAP Picture::release() {
  size_ = {};
  return std::exchange(bitmap_, nullptr);
}

Picture LoadPictureFile(const GdiplusSession& gdiplus, const std::wstring& path,
                        COLORREF background) {
  if (!gdiplus.ok()) return {};
  Gdiplus::GpBitmap* image = nullptr;
  if (gp::GdipCreateBitmapFromFile(path.c_str(), &image) != Gdiplus::Ok || !image) return {};
  UINT width = 0, height = 0;
  if (gp::GdipGetImageWidth(image, &width) != Gdiplus::Ok ||
      gp::GdipGetImageHeight(image, &height) != Gdiplus::Ok || width == 0 || height == 0 ||
      width > 32767 || height > 32767) {
    gp::GdipDisposeImage(image);
    return {};
  }
  const int cx = static_cast<int>(width), cy = static_cast<int>(height);

  // A 24-bit bitmap rather than GDI+'s own 32-bit one: its pixels carry no alpha byte, which
  // would make colour comparisons (masks, transparent copies) miss on some drivers.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = cx;
  info.bmiHeader.biHeight = -cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = bitmap ? CreateCompatibleDC(nullptr) : nullptr;
  bool drawn = false;
  if (dc) {
    HGDIOBJ previous = SelectObject(dc, bitmap);
    // Transparent pixels of the file show the background.
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, cx, cy};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gp::GdipCreateFromHDC(dc, &graphics) == Gdiplus::Ok && graphics) {
      // One file pixel to one bitmap pixel, whatever resolution the file claims.
      gp::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeNearestNeighbor);
      gp::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHalf);
      drawn = gp::GdipDrawImageRectI(graphics, image, 0, 0, cx, cy) == Gdiplus::Ok;
      gp::GdipDeleteGraphics(graphics);
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
  }
  gp::GdipDisposeImage(image);
  if (!drawn) {
    if (bitmap) DeleteObject(bitmap);
    return {};
  }
  GdiFlush();
  return Picture(bitmap, {cx, cy});
}

HIMAGELIST LoadImageStrip(const GdiplusSession& gdiplus, const std::wstring& path, int cellSize,
                          COLORREF mask) {
  // The mask colour also fills any transparency of the file, so both mean "no pixel".
  Picture strip = LoadPictureFile(gdiplus, path, mask);
  if (!strip) return nullptr;
  const int cell = strip.size().cy;
  const int count = strip.size().cx / cell;
  if (count <= 0) return nullptr;
  const int target = cellSize > 0 ? cellSize : cell;
  const int width = target * count;

  // The image in the screen's format, and a monochrome mask that is white where it has the mask
  // colour; made here, so the mask is exact whatever colour depth the image list keeps.
  HDC screen = GetDC(nullptr);
  Picture image(CreateCompatibleBitmap(screen, width, target), {width, target});
  ReleaseDC(nullptr, screen);
  Picture monochrome(CreateBitmap(width, target, 1, 1, nullptr), {width, target});
  if (!image || !monochrome) return nullptr;
  HDC from = CreateCompatibleDC(nullptr);
  HDC to = CreateCompatibleDC(nullptr);
  HDC bits = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFrom = SelectObject(from, strip.bitmap());
  HGDIOBJ oldTo = SelectObject(to, image.bitmap());
  HGDIOBJ oldBits = SelectObject(bits, monochrome.bitmap());
  // Nearest pixel when scaling: blending would make colours near the mask that show as a fringe.
  SetStretchBltMode(to, COLORONCOLOR);
  StretchBlt(to, 0, 0, width, target, from, 0, 0, cell * count, cell, SRCCOPY);
  SetBkColor(to, mask);
  BitBlt(bits, 0, 0, width, target, to, 0, 0, SRCCOPY);
  // Masked pixels black in the image, as a transparent draw expects.
  SetBkColor(to, RGB(255, 255, 255));
  SetTextColor(to, RGB(0, 0, 0));
  BitBlt(to, 0, 0, width, target, bits, 0, 0, 0x220326);
  SelectObject(from, oldFrom);
  SelectObject(to, oldTo);
  SelectObject(bits, oldBits);
  DeleteDC(from);
  DeleteDC(to);
  DeleteDC(bits);

  HIMAGELIST list = ImageList_Create(target, target, ILC_COLOR24 | ILC_MASK, count, 0);
  if (!list) return nullptr;
  if (ImageList_Add(list, image.bitmap(), monochrome.bitmap()) < 0 ||
      ImageList_GetImageCount(list) != count) {
    ImageList_Destroy(list);
    return nullptr;
  }
  return list;
}

}  // namespace cv3
