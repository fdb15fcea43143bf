// Pictures below the program's folder, read with GDI+ (GIF, PNG, BMP, ...): a bitmap with its
// size, or an image list cut from a horizontal strip. UI thread only.
#pragma once

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>

#include "cv3client/support/drawing_win32.h"

namespace cv3 {

// File names relative to the program's folder.
inline constexpr wchar_t kLogoPicture[] = L"\\pictures\\cvlogo.gif";
inline constexpr wchar_t kFramePicture[] = L"\\pictures\\bkgrnd.gif";
inline constexpr wchar_t kTilePicture[] = L"\\pictures\\bkgrnd_tile.gif";
inline constexpr wchar_t kRosterImages[] = L"\\pictures\\roster_icons.gif";
inline constexpr wchar_t kToolbarImages[] = L"\\pictures\\toolbar.gif";

// The colour of an image strip that stands for "no pixel".
inline constexpr COLORREF kStripMask = RGB(255, 0, 255);

// GDI+ for the lifetime of the object; create one before loading and keep it while loading.
// Bitmaps already handed out stay valid after it is gone.
class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

  bool ok() const { return token_ != 0; }

 private:
  ULONG_PTR token_ = 0;
};

// An owned bitmap and its size in pixels; empty when loading failed.
class Picture {
 public:
  Picture() = default;
  Picture(HBITMAP bitmap, SIZE size) : bitmap_(bitmap), size_(size) {}
  ~Picture();
  Picture(Picture&& other) noexcept;
  Picture& operator=(Picture&& other) noexcept;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  explicit operator bool() const { return bitmap_ != nullptr; }
  HBITMAP bitmap() const { return bitmap_; }
  SIZE size() const { return size_; }
  PictureRef ref() const { return PictureRef::Bitmap(bitmap_); }
  // Hands the bitmap to the caller, who then deletes it.
  HBITMAP release();

 private:
  HBITMAP bitmap_ = nullptr;
  SIZE size_{};
};

// Reads an image file into a 24-bit bitmap of its size in pixels (the resolution the file claims
// is ignored); transparent pixels take `background`.
// An empty Picture when GDI+ is not running or the file cannot be read.
Picture LoadPictureFile(const GdiplusSession& gdiplus, const std::wstring& path,
                        COLORREF background = RGB(255, 255, 255));

// An image list from a horizontal strip of square images (cell size = the strip's height, image
// n of the strip at index n - 1); pixels of `mask` are transparent. `cellSize` > 0 scales each
// image to that size (pixel-doubling keeps the mask exact). nullptr on failure; the caller
// destroys the list (ImageList_Destroy).
HIMAGELIST LoadImageStrip(const GdiplusSession& gdiplus, const std::wstring& path, int cellSize = 0,
                          COLORREF mask = kStripMask);

}  // namespace cv3
