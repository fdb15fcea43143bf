// cTextBoxBackground: draws an edit control over a tiled picture. It hooks the box (paint, erase,
// destroy) and the box's parent (the box's colour and scroll notifications) and repaints the box
// off screen: the tiles, then the box's own drawing of its text (transparent), then the result
// onto the box. One object per box; the chat windows attach one to each of their two boxes in the
// tiled look. UI thread only.
#pragma once

#include <windows.h>

#include "cv3client/support/mem_dc_win32.h"
#include "win32/subclass_win32.h"

namespace cv3 {

class cTextBoxBackground : private HookOwner {
 public:
  cTextBoxBackground() = default;
  ~cTextBoxBackground() { Detach(); }
  cTextBoxBackground(const cTextBoxBackground&) = delete;
  cTextBoxBackground& operator=(const cTextBoxBackground&) = delete;

  // Copies the picture into the object's own tile; the caller keeps its bitmap. false when the
  // copy cannot be made (the object then has no tile: do not attach it).
  bool SetBackdrop(HBITMAP picture);

  // Tiles the rectangle of `to`, the grid aligned to the DC's origin, so any part of an area gets
  // the same pixels as the whole. Needs a tile.
  void TileArea(HDC to, int x, int y, int width, int height);

  // Detaches first, then hooks `textBox` and its parent. The object must stay until detached
  // (by Detach, its destruction, or the box's end). The parent answers the box's colour messages
  // with a hollow brush (NULL_BRUSH): an edit control fills its background with that brush as it
  // paints, over the tiles.
  void Attach(HWND textBox);
  void Detach();

  // 0 idle, 1 the box reported a scroll, 2 the repaint after it was done. For tests.
  int ScrollState() const { return scrollState_; }

 private:
  void TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM lParam, LRESULT& RetVal,
                       bool& UseRetVal) override;
  // What follows the box's own paint and its parent's answer to a colour message, by the
  // scroll state.
  void AfterPaint();
  void AfterColour();
  // The box composed off screen (tiles, then its text) and copied onto it.
  void Repaint();

  cMemDC backdrop_;  // the tile, Width x Height
  cMemDC work_;      // each repaint is composed here
  HWND box_ = nullptr, parent_ = nullptr;
  int scrollState_ = 0;
  bool drawing_ = false;  // a repaint is running
  // Set while a message goes past this hook to the procedures below it.
  bool passingPaint_ = false, passingColour_ = false;
};

}  // namespace cv3
