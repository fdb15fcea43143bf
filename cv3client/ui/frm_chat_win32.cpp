#include "cv3client/ui/frm_chat_win32.h"

#include <algorithm>

#include "cv3client/model/roster.h"
#include "cv3client/support/picture_win32.h"

namespace cv3 {
namespace {

enum ControlId { kTxtOutput = 101, kTxtInput };

// Enter in txtInput, sent to the window itself so that the event runs under the window's own
// dispatch, which stops touching the object if the event deletes it.
constexpr UINT kInputEnter = WM_APP + 1;
constexpr UINT kFlushOutput = WM_APP + 2;

// Design, in twips: the margin around the boxes, the gap between them and the input's height.
constexpr int kMargin = 60;
constexpr int kGap = 30;
constexpr int kInputHeight = 330;

// The edit controls' own limit is 32 K characters; the conversation is never trimmed.
constexpr LPARAM kNoTextLimit = 0x7FFFFFFE;

COLORREF ColourRef(int rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

}  // namespace

frmChat::~frmChat() {
  *alive_ = false;
  events_ = nullptr;
  // Destroyed here, while the boxes' hooks still reach a whole frmChat.
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  if (font_) DeleteObject(font_);
}

bool frmChat::Create(const std::string& caption, bool lobbySize, ChatEvents& events) {
  if (hwnd_) return false;
  dpi_ = DpiOf(look_.mainWindow);
  if (!Window::Create(kClassName, Widen(caption), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                      CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr)) {
    return false;
  }
  events_ = &events;
  // Sized at the DPI of the monitor the window landed on.
  dpi_ = DpiOf(hwnd_);
  int width = lobbySize ? kLobbyWidthTwips : kPrivateWidthTwips;
  int height = lobbySize ? kLobbyHeightTwips : kPrivateHeightTwips;
  SetWindowPos(hwnd_, nullptr, 0, 0, TwipsToPixels(width, dpi_), TwipsToPixels(height, dpi_),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (HWND main = look_.mainWindow) {
    auto big = reinterpret_cast<HICON>(GetClassLongPtrW(main, GCLP_HICON));
    auto small = reinterpret_cast<HICON>(SendMessageW(main, WM_GETICON, ICON_SMALL, 0));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : big));
  }
  CreateControls();
  Form_Resize();
  return true;
}

void frmChat::CreateControls() {
  font_ = CreateUiFont(dpi_, 9);
  // Each box follows its label, so screen readers name it; the labels take no room.
  lblOutput_ = CreateControl(hwnd_, L"STATIC", L"Conversation:", SS_LEFT, 0, 0, 0, 0, 0, font_);
  txtOutput_ = CreateControl(
      hwnd_, L"EDIT", L"",
      ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 0, 0, 0, 0,
      kTxtOutput, font_, WS_EX_CLIENTEDGE);
  lblInput_ = CreateControl(hwnd_, L"STATIC", L"Message:", SS_LEFT, 0, 0, 0, 0, 0, font_);
  txtInput_ = CreateControl(hwnd_, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, 0, 0, 0, 0, kTxtInput,
                            font_, WS_EX_CLIENTEDGE);
  SendMessageW(txtOutput_, EM_SETLIMITTEXT, 0, kNoTextLimit);
  HookWindow(this, txtOutput_);
  HookWindow(this, txtInput_);
  if (look_.tiled && AttachBackgrounds()) {
    outputColour_ = inputColour_ = ColourRef(static_cast<int>(kLightColour));
  }
}

bool frmChat::AttachBackgrounds() {
  GdiplusSession gdiplus;
  Picture tile = LoadPictureFile(gdiplus, look_.programDir + kTilePicture);
  if (!tile) return false;
  auto output = std::make_unique<cTextBoxBackground>();
  auto input = std::make_unique<cTextBoxBackground>();
  if (!output->SetBackdrop(tile.bitmap()) || !input->SetBackdrop(tile.bitmap())) return false;
  output->Attach(txtOutput_);
  input->Attach(txtInput_);
  outputBackground_ = std::move(output);
  inputBackground_ = std::move(input);
  return true;
}

// The boxes' one text colour each; over the tiles they draw no background of their own.
LRESULT frmChat::BoxColours(HDC dc, HWND box) {
  SetTextColor(dc, box == txtOutput_ ? outputColour_ : inputColour_);
  if (outputBackground_) return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

void frmChat::ShowWindow() {
  if (!hwnd_) return;
  ::ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void frmChat::Hide() {
  if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
}

void frmChat::Flash() {
  if (hwnd_) FlashWindow(hwnd_, TRUE);
}

void frmChat::AppendOutput(const std::string& text, int colour) {
  if (!txtOutput_) return;
  if (colour >= 0 && ColourRef(colour) != outputColour_) {
    outputColour_ = ColourRef(colour);
    InvalidateRect(txtOutput_, nullptr, TRUE);
  }
  // Each insertion into a box with a scroll bar costs several milliseconds whatever its size, so
  // the lines of one arrival go in together, from the top of the message loop.
  pendingOutput_ += Widen(text);
  if (!flushPosted_ && hwnd_) flushPosted_ = PostMessageW(hwnd_, kFlushOutput, 0, 0);
}

void frmChat::FlushOutput() {
  flushPosted_ = false;
  if (!txtOutput_ || pendingOutput_.empty()) return;
  // Inserted at the end: the cost of a line does not grow with the conversation.
  OutputCaretToEnd();
  SendMessageW(txtOutput_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pendingOutput_.c_str()));
  pendingOutput_.clear();
  OutputCaretToEnd();
}

std::string frmChat::InputText() const {
  return txtInput_ ? GetControlText(txtInput_) : std::string();
}

void frmChat::ClearInput() {
  if (txtInput_) SetWindowTextW(txtInput_, L"");
}

void frmChat::Unload() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void frmChat::OutputCaretToEnd() {
  int length = GetWindowTextLengthW(txtOutput_);
  SendMessageW(txtOutput_, EM_SETSEL, length, length);
  SendMessageW(txtOutput_, EM_SCROLLCARET, 0, 0);
}

void frmChat::Form_Resize() {
  if (!txtOutput_ || IsIconic(hwnd_)) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  auto px = [&](int twips) { return TwipsToPixels(twips, dpi_); };
  int width = std::max(0, static_cast<int>(client.right) - 2 * px(kMargin));
  int inputTop =
      std::max(px(kMargin), static_cast<int>(client.bottom) - px(kMargin) - px(kInputHeight));
  int outputHeight = std::max(0, inputTop - px(kGap) - px(kMargin));
  MoveWindow(txtOutput_, px(kMargin), px(kMargin), width, outputHeight, TRUE);
  MoveWindow(txtInput_, px(kMargin), inputTop, width, px(kInputHeight), TRUE);
}

void frmChat::txtOutput_MouseUp() {
  DWORD start = 0, end = 0;
  SendMessageW(txtOutput_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  // An empty selection leaves the clipboard as it is.
  if (end > start) SendMessageW(txtOutput_, WM_COPY, 0, 0);
  SetFocus(txtInput_);
}

void frmChat::TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM, LRESULT& RetVal,
                              bool& UseRetVal) {
  RetVal = 0;
  switch (wMsg) {
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        UseRetVal = true;
        // May destroy the window: nothing of the object is touched after it.
        SendMessageW(hwnd_, WM_CLOSE, 0, 0);
      } else if (wParam == VK_TAB) {
        UseRetVal = true;
        SetFocus(hwnd == txtInput_ ? txtOutput_ : txtInput_);
      }
      return;
    case WM_CHAR:
      if (wParam == VK_ESCAPE || wParam == '\t') {
        UseRetVal = true;  // handled as keys
      } else if (hwnd == txtInput_ && wParam == 127) {
        UseRetVal = true;  // DEL is not a character of a line
      } else if (hwnd == txtInput_ && wParam == '\r') {
        UseRetVal = true;
        SendMessageW(hwnd_, kInputEnter, 0, 0);
      }
      return;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP:
      // The selection is complete at the release; the box then ends its capture itself.
      if (hwnd == txtOutput_) txtOutput_MouseUp();
      return;
  }
}

LRESULT frmChat::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kInputEnter:
      if (events_) events_->txtInput_Enter();
      return 0;
    case kFlushOutput:
      FlushOutput();
      return 0;
    case WM_CLOSE: {
      if (!events_) break;
      std::shared_ptr<bool> alive = alive_;
      bool unload = events_->Form_QueryUnload();
      // Kept: the router has hidden the window already.
      if (*alive && unload && hwnd_) DestroyWindow(hwnd_);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE || !txtOutput_) break;
      OutputCaretToEnd();
      SetFocus(txtInput_);
      return 0;
    case WM_SIZE:
      Form_Resize();
      return 0;
    case WM_CTLCOLORSTATIC:  // the read-only conversation
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lParam) != txtOutput_ &&
          reinterpret_cast<HWND>(lParam) != txtInput_) {
        break;
      }
      return BoxColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
  }
  return Default(message, wParam, lParam);
}

void frmChat::OnTeardown() {
  events_ = nullptr;
  lblOutput_ = txtOutput_ = lblInput_ = txtInput_ = nullptr;
}

}  // namespace cv3
