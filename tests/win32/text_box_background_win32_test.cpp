// cTextBoxBackground against real edit controls under Wine: the tiling's alignment, the scroll
// state with the repaints it causes, attaching and detaching, and the tiles on the screen.
#include "cv3client/support/text_box_background_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace cv3 {
namespace {

constexpr int kTileWidth = 5, kTileHeight = 4;

// Every pixel of the tile tells its place.
COLORREF TilePixel(int x, int y) { return RGB(x * 40, y * 50, 77); }

// A painter with the test tile (the tile bitmap is the test's, copied by the painter).
void GiveTile(cTextBoxBackground& painter) {
  cMemDC tile;
  tile.SetWidth(kTileWidth);
  tile.SetHeight(kTileHeight);
  for (int y = 0; y < kTileHeight; ++y) {
    for (int x = 0; x < kTileWidth; ++x) SetPixel(tile.hDC(), x, y, TilePixel(x, y));
  }
  HBITMAP bitmap = tile.ExtractBitmap();
  ASSERT_TRUE(painter.SetBackdrop(bitmap));
  DeleteObject(bitmap);
}

TEST(TextBoxBackground, TilesAlignToTheTargetsOrigin) {
  cTextBoxBackground painter;
  GiveTile(painter);
  struct Case {
    int x, y, width, height;
  };
  // The second case starts inside the second tile column: source column 3, first column 2 wide.
  for (const Case& c :
       {Case{0, 0, 23, 17}, Case{kTileWidth + 3, 0, 9, 6}, Case{4, 3, 7, 5}, Case{1, 1, 3, 2}}) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    cMemDC target;
    target.SetWidth(24);
    target.SetHeight(18);
    RECT all{0, 0, 24, 18};
    FillRect(target.hDC(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    painter.TileArea(target.hDC(), c.x, c.y, c.width, c.height);
    std::string wrong;
    for (int y = 0; y < 18; ++y) {
      for (int x = 0; x < 24; ++x) {
        bool inside = x >= c.x && x < c.x + c.width && y >= c.y && y < c.y + c.height;
        COLORREF expected = inside ? TilePixel(x % kTileWidth, y % kTileHeight) : RGB(0, 0, 0);
        if (GetPixel(target.hDC(), x, y) != expected && wrong.empty()) {
          wrong = "first wrong pixel " + std::to_string(x) + "," + std::to_string(y);
        }
      }
    }
    EXPECT_EQ(wrong, "");
  }
}

// Counts the box's drawings into the painter's work surface (they reach the box as WM_PRINT),
// and answers its colour messages at the parent, as a chat window does, with a hollow brush.
struct PrintCounter : HookOwner {
  void TreeViewMessage(HWND, UINT wMsg, WPARAM, LPARAM, LRESULT& RetVal, bool& UseRetVal) override {
    if (wMsg == WM_PRINT) ++prints;
    if (wMsg == WM_CTLCOLOREDIT) {
      RetVal = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      UseRetVal = true;
    }
  }
  int prints = 0;
};

class AttachedBackgroundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                              nullptr, nullptr);
    for (HWND& box : boxes_) {
      box = CreateWindowExW(0, L"EDIT", L"some text", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 10, 10,
                            200, 100, parent_, nullptr, nullptr, nullptr);
    }
    HookWindow(&counter_, boxes_[0]);
    HookWindow(&counter_, parent_);
    GiveTile(painter_);
    painter_.Attach(boxes_[0]);
  }
  void TearDown() override { DestroyWindow(parent_); }
  void Scrolled(HWND box) {
    SendMessageW(parent_, WM_COMMAND, MAKEWPARAM(0, EN_VSCROLL), reinterpret_cast<LPARAM>(box));
  }
  LRESULT ColourMessage(HDC dc) {
    return SendMessageW(parent_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                        reinterpret_cast<LPARAM>(boxes_[0]));
  }

  HWND parent_ = nullptr;
  HWND boxes_[2] = {};
  PrintCounter counter_;
  cTextBoxBackground painter_;
};

TEST_F(AttachedBackgroundTest, AScrollIsRepaintedOnceInsideTheNextPaint) {
  HDC dc = GetDC(boxes_[0]);
  EXPECT_EQ(SendMessageW(boxes_[0], WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  EXPECT_EQ(counter_.prints, 0);  // erasing draws nothing
  // Idle: a colour message repaints, passes the parent's answer back and makes text transparent.
  EXPECT_EQ(ColourMessage(dc), reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  EXPECT_EQ(counter_.prints, 1);
  ReleaseDC(boxes_[0], dc);
  // After a scroll the box's paint asks for its colours: that repaints once (state 2), and the
  // end of the paint only goes back to idle.
  Scrolled(boxes_[0]);
  EXPECT_EQ(painter_.ScrollState(), 1);
  counter_.prints = 0;
  SendMessageW(boxes_[0], WM_PAINT, 0, 0);
  EXPECT_EQ(painter_.ScrollState(), 0);
  EXPECT_EQ(counter_.prints, 1);
}

TEST_F(AttachedBackgroundTest, AttachingAgainLeavesTheFirstBoxAndDetachingLeavesAll) {
  painter_.Attach(boxes_[1]);
  Scrolled(boxes_[0]);
  EXPECT_EQ(painter_.ScrollState(), 0);
  Scrolled(boxes_[1]);
  EXPECT_EQ(painter_.ScrollState(), 1);
  painter_.Detach();
  painter_.Detach();  // twice is harmless
  Scrolled(boxes_[1]);
  EXPECT_EQ(painter_.ScrollState(), 0);
  cTextBoxBackground neverAttached;
  neverAttached.Detach();
  EXPECT_EQ(neverAttached.ScrollState(), 0);
}

TEST_F(AttachedBackgroundTest, TheBoxShowsTheTilesBehindIt) {
  SetWindowTextW(boxes_[0], L"");
  ShowWindow(parent_, SW_SHOWNOACTIVATE);
  UpdateWindow(parent_);
  RedrawWindow(boxes_[0], nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  HDC dc = GetDC(boxes_[0]);
  std::string wrong;
  for (int y = 40; y < 60; ++y) {
    for (int x = 40; x < 60; ++x) {
      COLORREF pixel = GetPixel(dc, x, y);
      if (pixel != TilePixel(x % kTileWidth, y % kTileHeight) && wrong.empty()) {
        wrong = "first wrong pixel " + std::to_string(x) + "," + std::to_string(y) + ": " +
                std::to_string(pixel);
      }
    }
  }
  ReleaseDC(boxes_[0], dc);
  EXPECT_EQ(wrong, "");
}

}  // namespace
}  // namespace cv3
