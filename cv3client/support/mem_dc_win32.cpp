#include "cv3client/support/mem_dc_win32.h"

namespace cv3 {

void cMemDC::SetWidth(int width) {
  if (width > width_) rebuild_ = true;
  width_ = width;
}

void cMemDC::SetHeight(int height) {
  if (height > height_) rebuild_ = true;
  height_ = height;
}

void cMemDC::SetMono(bool mono) {
  if (mono != mono_) rebuild_ = true;
  mono_ = mono;
}

HDC cMemDC::hDC() {
  if (rebuild_ && Build(nullptr)) rebuild_ = false;
  return dc_;
}

HBITMAP cMemDC::ExtractBitmap() {
  HBITMAP bitmap = bitmap_;
  if (dc_) {
    if (previous_) SelectObject(dc_, previous_);
    DeleteDC(dc_);
  }
  dc_ = nullptr;
  bitmap_ = nullptr;
  previous_ = nullptr;
  rebuild_ = true;
  return bitmap;
}

bool cMemDC::InjectBitmap(HBITMAP bitmap) {
  Free();
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return false;
  width_ = info.bmWidth;
  height_ = info.bmHeight;
  if (!Build(bitmap)) return false;
  rebuild_ = false;
  return true;
}

bool cMemDC::Build(HBITMAP injected) {
  HDC display = nullptr;
  if (!mono_) {
    display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    if (display && !dc_) dc_ = CreateCompatibleDC(display);
  } else if (!dc_) {
    dc_ = CreateCompatibleDC(nullptr);
  }
  PutBack();
  HBITMAP bitmap = injected;
  // A bitmap compatible with a bare memory DC is monochrome.
  if (!bitmap && dc_ && (mono_ || display)) {
    bitmap = CreateCompatibleBitmap(mono_ ? dc_ : display, width_, height_);
  }
  HGDIOBJ previous = dc_ && bitmap ? SelectObject(dc_, bitmap) : nullptr;
  if (display) DeleteDC(display);
  if (!previous) {
    if (bitmap && bitmap != injected) DeleteObject(bitmap);
    Free();
    return false;
  }
  bitmap_ = bitmap;
  previous_ = previous;
  return true;
}

void cMemDC::PutBack() {
  if (dc_ && previous_) SelectObject(dc_, previous_);
  previous_ = nullptr;
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
}

void cMemDC::Free() {
  PutBack();
  if (dc_) DeleteDC(dc_);
  dc_ = nullptr;
  rebuild_ = true;
}

}  // namespace cv3
