#include "cv3client/support/drawing_win32.h"

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <utility>

#include "win32/subclass_win32.h"

namespace cv3 {
namespace {

constexpr COLORREF kRed = RGB(200, 30, 40);
constexpr COLORREF kBlue = RGB(20, 40, 160);
constexpr COLORREF kKey = RGB(0, 255, 0);

// A memory DC with a screen-compatible bitmap, as the program's own surfaces are.
class Surface {
 public:
  Surface(int width, int height) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~Surface() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  HBITMAP TakeBitmap() {  // leaves the DC empty; the caller owns the bitmap
    SelectObject(dc_, previous_);
    HBITMAP bitmap = bitmap_;
    bitmap_ = nullptr;
    return bitmap;
  }
  void Fill(int x, int y, int width, int height, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT rect{x, y, x + width, y + height};
    FillRect(dc_, &rect, brush);
    DeleteObject(brush);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

// A system colour becomes its RGB value, an RGB value stays, an invalid colour is refused.
TEST(TranslateOleColor, SystemRgbAndInvalidColours) {
  const std::pair<OLE_COLOR, COLORREF> rows[] = {{kWindowBackground, GetSysColor(COLOR_WINDOW)},
                                                 {0x80000012, GetSysColor(COLOR_BTNTEXT)},
                                                 {kRed, kRed},
                                                 {0x7F000000, CLR_INVALID}};
  for (auto [colour, expected] : rows) EXPECT_EQ(TranslateOleColor(colour), expected) << colour;
}

TEST(TransparentCopy, ASourceMadeOnlyOfTheTransparentColourLeavesTheTargetUnchanged) {
  Surface target(40, 30), source(40, 30);
  target.Fill(0, 0, 40, 30, kRed);
  target.Fill(10, 10, 10, 10, kBlue);
  source.Fill(0, 0, 40, 30, kKey);
  ASSERT_TRUE(TransparentCopy(target.dc(), 0, 0, 40, 30, source.dc(), 0, 0, kKey));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inner = x >= 10 && x < 20 && y >= 10 && y < 20;
      ASSERT_EQ(target.At(x, y), inner ? kBlue : kRed) << x << "," << y;
    }
}

TEST(TransparentCopy, ASourceWithoutTheColourOverwritesTheRectangleCompletely) {
  Surface target(40, 30), source(40, 30);
  target.Fill(0, 0, 40, 30, kRed);
  source.Fill(0, 0, 40, 30, kBlue);
  source.Fill(0, 0, 5, 5, RGB(1, 254, 1));  // near the key is not the key
  ASSERT_TRUE(TransparentCopy(target.dc(), 10, 5, 20, 15, source.dc(), 0, 0, kKey));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x < 30 && y >= 5 && y < 20;
      const bool nearKey = x >= 10 && x < 15 && y >= 5 && y < 10;
      COLORREF expected = !inside ? kRed : nearKey ? RGB(1, 254, 1) : kBlue;
      ASSERT_EQ(target.At(x, y), expected) << x << "," << y;
    }
}

TEST(TransparentCopy, MixesPixelByPixelFromTheSourceOffset) {
  Surface target(16, 16), source(32, 32);
  target.Fill(0, 0, 16, 16, kRed);
  source.Fill(0, 0, 32, 32, kBlue);
  // A checkerboard of the key in the source quarter that is copied.
  for (int y = 16; y < 32; ++y)
    for (int x = 16; x < 32; ++x)
      if ((x + y) % 2 == 0) SetPixel(source.dc(), x, y, kKey);
  // The source's own colours do not matter to the result.
  SetBkColor(source.dc(), RGB(9, 9, 9));
  SetTextColor(source.dc(), RGB(250, 250, 250));
  ASSERT_TRUE(TransparentCopy(target.dc(), 0, 0, 16, 16, source.dc(), 16, 16, kKey));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(target.At(x, y), (x + y) % 2 == 0 ? kRed : kBlue) << x << "," << y;
}

TEST(TransparentCopy, TakesASystemColourAsTheTransparentColour) {
  Surface target(8, 8), source(8, 8);
  target.Fill(0, 0, 8, 8, kRed);
  source.Fill(0, 0, 8, 8, GetSysColor(COLOR_WINDOW));
  source.Fill(0, 0, 4, 8, kBlue);
  ASSERT_TRUE(TransparentCopy(target.dc(), 0, 0, 8, 8, source.dc(), 0, 0, kWindowBackground));
  EXPECT_EQ(target.At(1, 3), kBlue);
  EXPECT_EQ(target.At(6, 3), kRed);
}

TEST(DrawPicture, CopiesABitmapFromTheSourcePosition) {
  Surface picture(10, 10);
  picture.Fill(0, 0, 10, 10, kBlue);
  picture.Fill(5, 5, 5, 5, kRed);
  HBITMAP bitmap = picture.TakeBitmap();
  Surface target(20, 20);
  target.Fill(0, 0, 20, 20, kKey);
  EXPECT_TRUE(DrawPicture(target.dc(), 2, 3, 5, 5, PictureRef::Bitmap(bitmap), 5, 5));
  EXPECT_EQ(target.At(2, 3), kRed);
  EXPECT_EQ(target.At(6, 7), kRed);
  EXPECT_EQ(target.At(7, 7), kKey);
  EXPECT_EQ(target.At(1, 3), kKey);
  DeleteObject(bitmap);
}

TEST(DrawPicture, DrawsAnIconInItsOwnSize) {
  HICON icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  Surface target(64, 64);
  target.Fill(0, 0, 64, 64, kKey);
  EXPECT_TRUE(DrawPicture(target.dc(), 0, 0, 1, 1, PictureRef::Icon(icon), 0, 0));
  int changed = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) changed += target.At(x, y) != kKey;
  EXPECT_GT(changed, 1);  // more than the 1 x 1 asked for: the icon's own size
}

TEST(DrawPicture, RefusesAMissingOrUnsupportedPicture) {
  Surface target(8, 8);
  target.Fill(0, 0, 8, 8, kKey);
  HBRUSH brush = CreateSolidBrush(kRed);
  EXPECT_FALSE(DrawPicture(target.dc(), 0, 0, 8, 8, PictureRef{}, 0, 0));
  EXPECT_FALSE(DrawPicture(target.dc(), 0, 0, 8, 8, PictureRef::Bitmap(nullptr), 0, 0));
  EXPECT_FALSE(DrawPicture(target.dc(), 0, 0, 8, 8, {PictureKind::kBitmap, brush}, 0, 0));
  EXPECT_FALSE(DrawPicture(target.dc(), 0, 0, 8, 8, {PictureKind::kNone, brush}, 0, 0));
  EXPECT_EQ(target.At(3, 3), kKey);
  DeleteObject(brush);
}

// A tile of two colours: left half kTileA, right half kTileB, 8 x 8.
constexpr COLORREF kTileA = RGB(20, 33, 58);
constexpr COLORREF kTileB = RGB(40, 60, 90);
HBITMAP MakeTile() {
  Surface tile(8, 8);
  tile.Fill(0, 0, 4, 8, kTileA);
  tile.Fill(4, 0, 4, 8, kTileB);
  return tile.TakeBitmap();
}

// With a tile it takes over the background erase, answering 1; without one it leaves every
// message to the control.
TEST(TiledTreePainter, ConsumesEraseBackgroundOnlyWithATile) {
  HBITMAP tile = MakeTile();
  TiledTreePainter tiled(tile), plain;
  const std::tuple<TiledTreePainter*, UINT, bool> rows[] = {{&tiled, WM_ERASEBKGND, true},
                                                            {&plain, WM_ERASEBKGND, false},
                                                            {&plain, WM_PAINT, false},
                                                            {&plain, WM_VSCROLL, false}};
  for (auto [painter, message, consumed] : rows) {
    LRESULT ret = 0;
    bool use = false;
    painter->TreeViewMessage(nullptr, message, 0, 0, ret, use);
    EXPECT_EQ(use, consumed) << message;
    EXPECT_EQ(ret, consumed ? 1 : 0) << message;
  }
  DeleteObject(tile);
}

// A top-level window with a tree view of a few items in it, on screen.
class TreeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&init);
    frame_ = CreateWindowExW(0, L"STATIC", L"tree test", WS_POPUP | WS_VISIBLE, 10, 10, 220, 300,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    tree_ = CreateWindowExW(0, WC_TREEVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT,
                            0, 0, 200, 280, frame_, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(tree_, nullptr);
    for (const wchar_t* text : {L"Skyrend Games", L"Online Pilots", L"Busy Pilots"}) {
      TVINSERTSTRUCTW insert{};
      insert.hParent = TVI_ROOT;
      insert.hInsertAfter = TVI_LAST;
      insert.item.mask = TVIF_TEXT;
      insert.item.pszText = const_cast<wchar_t*>(text);
      SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
    }
    tile_ = MakeTile();
    painter_.SetTile(tile_);
  }
  void TearDown() override {
    UnhookWindow(&painter_, tree_);
    DestroyWindow(frame_);
    DeleteObject(tile_);
  }
  // Paints the whole tree now and reads one pixel of it back from the window.
  COLORREF PaintedPixel(int x, int y) {
    RedrawWindow(tree_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(tree_);
    COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(tree_, dc);
    return pixel;
  }
  bool HasUpdate() { return GetUpdateRect(tree_, nullptr, FALSE) != FALSE; }

  HWND frame_ = nullptr;
  HWND tree_ = nullptr;
  HBITMAP tile_ = nullptr;
  TiledTreePainter painter_;
};

TEST_F(TreeFixture, PaintsTheTileWhereNoItemIs) {
  ASSERT_TRUE(HookWindow(&painter_, tree_));
  // Well below the three items: x = 8k + 1 lies in the tile's left half, 8k + 6 in its right.
  EXPECT_EQ(PaintedPixel(121, 250), kTileA);
  EXPECT_EQ(PaintedPixel(126, 250), kTileB);
  EXPECT_EQ(PaintedPixel(9, 201), kTileA);
}

TEST_F(TreeFixture, KeepsTheItemsOverTheTile) {
  ASSERT_TRUE(HookWindow(&painter_, tree_));
  RECT item{};
  auto first = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  std::memcpy(&item, &first, sizeof first);  // the message takes the item in the rectangle
  ASSERT_TRUE(SendMessageW(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&item)));
  RedrawWindow(tree_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  HDC dc = GetDC(tree_);
  int text = 0;
  for (int y = item.top; y < item.bottom; ++y)
    for (int x = item.left; x < item.right; ++x) {
      COLORREF pixel = GetPixel(dc, x, y);
      text += pixel != kTileA && pixel != kTileB;
    }
  ReleaseDC(tree_, dc);
  EXPECT_GT(text, 10);  // the item's caption is still drawn
}

TEST_F(TreeFixture, WithoutTheHookTheTreeIsPlain) {
  EXPECT_EQ(PaintedPixel(121, 250), GetSysColor(COLOR_WINDOW));
}

TEST_F(TreeFixture, ScrollingInvalidatesTheWholeTreeWithoutConsuming) {
  ValidateRect(tree_, nullptr);
  ASSERT_FALSE(HasUpdate());
  for (UINT message : {WM_HSCROLL, WM_VSCROLL, WM_MOUSEWHEEL}) {
    LRESULT ret = 0;
    bool use = false;
    painter_.TreeViewMessage(tree_, message, 0, 0, ret, use);
    EXPECT_FALSE(use);
    RECT update{};
    ASSERT_TRUE(GetUpdateRect(tree_, &update, FALSE)) << message;
    RECT client{};
    GetClientRect(tree_, &client);
    EXPECT_TRUE(EqualRect(&update, &client));
    ValidateRect(tree_, nullptr);
  }
}

TEST_F(TreeFixture, PaintConsumesTheMessageAndValidatesTheTree) {
  ASSERT_TRUE(HookWindow(&painter_, tree_));
  InvalidateRect(tree_, nullptr, FALSE);
  LRESULT result = SendMessageW(tree_, WM_PAINT, 0, 0);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(HasUpdate());
}

}  // namespace
}  // namespace cv3
