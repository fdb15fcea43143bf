// cMemDC: an off-screen drawing surface, a memory DC with a bitmap of at least Width x Height
// selected, made when first asked for, grown on demand (never shrunk) and freed with the object.
// Used by the text boxes' tiled background. UI thread only.
#pragma once

#include <windows.h>

namespace cv3 {

class cMemDC {
 public:
  cMemDC() = default;
  ~cMemDC() { Free(); }
  cMemDC(const cMemDC&) = delete;
  cMemDC& operator=(const cMemDC&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // A larger size makes a new bitmap at the next hDC(); a smaller one keeps the bigger bitmap, so
  // draw only within Width x Height.
  void SetWidth(int width);
  void SetHeight(int height);
  bool Mono() const { return mono_; }
  void SetMono(bool mono);  // a change makes a new bitmap at the next hDC()

  // The DC, with the surface (re)made first when needed; nullptr when it cannot be made (out of
  // drawing memory), and then nothing of it is left.
  HDC hDC();
  // Hands the bitmap over: the DC goes, the caller owns the bitmap, and the next hDC() makes a
  // new surface. nullptr when there is none.
  HBITMAP ExtractBitmap();
  // Adopts `bitmap` (owned from now on, until extracted): the surface takes its size. false, the
  // surface freed and the bitmap not adopted, when it cannot be selected.
  bool InjectBitmap(HBITMAP bitmap);

 private:
  bool Build(HBITMAP injected);
  void PutBack();  // the DC's own bitmap back, the owned bitmap deleted
  void Free();

  int width_ = 0, height_ = 0;
  bool mono_ = false;
  bool rebuild_ = true;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;  // what the DC held before bitmap_
};

}  // namespace cv3
