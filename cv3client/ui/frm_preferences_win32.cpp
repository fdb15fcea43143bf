#include "cv3client/ui/frm_preferences_win32.h"

#include <commctrl.h>

namespace cv3 {
namespace {

enum ControlId { kCmdOK = 101, kCmdCancel, kCmdRemove, kSSTab1, kLstIgnored, kFirstBoxId = 120 };

enum Page { kGeneral, kConnection, kNotifications, kPrivacy, kSkyrend, kAdvanced };

// Each caption ends with one space.
constexpr const wchar_t* kPageCaptions[frmPreferences::kPageCount] = {
    L"General ", L"Connection ", L"Notifications ", L"Privacy ", L"Skyrend ", L"Advanced "};

struct CheckDesign {
  Page page;
  PrefBox box;
  const wchar_t* caption;  // "&&" shows one "&"
};
// In page order, each page's boxes from top to bottom.
constexpr CheckDesign kChecks[] = {
    {kGeneral, PrefBox::kStartWithWin, L"Start Corvane with windows"},
    {kGeneral, PrefBox::kRememberIDPass, L"Remember my ID && Password"},
    {kGeneral, PrefBox::kAutoLogin, L"Automatically Login"},
    {kConnection, PrefBox::kTls, L"Secure connection (TLS)"},
    {kConnection, PrefBox::kReconnect, L"Try to reconnect on disconnect"},
    {kNotifications, PrefBox::kSoundOnMsg, L"Play sound on message"},
    {kNotifications, PrefBox::kFlashInactive, L"Flash inactive window on message"},
    {kNotifications, PrefBox::kPopupLobbyOnMsg, L"Popup lobby chat window on message"},
    {kNotifications, PrefBox::kPopupPrivateOnMsg, L"Popup private chat window on message"},
    {kAdvanced, PrefBox::kBuffLobby, L"Buffer lobby chat window"},
    {kAdvanced, PrefBox::kBuffPrivates, L"Buffer private chat windows"},
    {kAdvanced, PrefBox::kAlternateLaunch, L"Alternate Skyrend launch method"},
    {kAdvanced, PrefBox::kSlowCPU, L"Slow CPU mode"},
};

// Design, in twips: the tab control with the buttons below it; a page's rows inside the tab.
constexpr int kTabLeft = 120, kTabTop = 120, kTabWidth = 6120, kTabHeight = 3600;
constexpr int kLeft = 360, kTop = 660, kRowStep = 420, kWidth = 5640, kCheckHeight = 300;
constexpr int kLabelWidth = 1560, kBoxLeft = kLeft + kLabelWidth + 60;
constexpr int kButtonTop = kTabTop + kTabHeight + 120, kButtonWidth = 1200;
constexpr int kClientWidth = 2 * kTabLeft + kTabWidth, kClientHeight = kButtonTop + 375 + 120;

int RowTop(int row) { return kTop + row * kRowStep; }

// The colour the tab control fills its pages with (white under a theme, the face colour
// without one), read from the control's own drawing, so a page's labels and boxes match it.
COLORREF PageColour(HWND tab) {
  RECT client;
  GetClientRect(tab, &client);
  RECT page = client;
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  HDC screen = GetDC(tab);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SendMessageW(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
  COLORREF colour = GetPixel(memory, (page.left + page.right) / 2, (page.top + page.bottom) / 2);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(tab, screen);
  return colour == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : colour;
}

}  // namespace

bool frmPreferences::Create() {
  if (hwnd_) return true;
  INITCOMMONCONTROLSEX init{sizeof init, ICC_TAB_CLASSES};
  InitCommonControlsEx(&init);
  if (!CreateForm(kClassName, Widen(kPreferencesCaption), kClientWidth, kClientHeight)) {
    return false;
  }
  SetKeyButtons(kCmdOK, kCmdCancel);
  // Each label comes before its box, so screen readers name the box by it; tab order is
  // creation order.
  AddToPage(kConnection, AddControl(L"STATIC", L"Corvane address:", SS_LEFT, kLeft, RowTop(0) + 45,
                                    kLabelWidth, 255));
  texts_[static_cast<int>(PrefText::kCVAddress)] =
      AddToPage(kConnection, AddTextBox(0, kBoxLeft, RowTop(0), kLeft + kWidth - kBoxLeft, 0));
  AddToPage(kConnection, AddControl(L"STATIC", L"Corvane port:", SS_LEFT, kLeft, RowTop(1) + 45,
                                    kLabelWidth, 255));
  texts_[static_cast<int>(PrefText::kCVPort)] =
      AddToPage(kConnection, AddTextBox(0, kBoxLeft, RowTop(1), 1200, 0));
  AddToPage(kPrivacy,
            AddControl(L"BUTTON", L"Ignored Users", BS_GROUPBOX, kLeft, kTop - 60, kWidth, 2880));
  lstIgnored_ = AddToPage(
      kPrivacy,
      AddControl(L"LISTBOX", L"", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                 kLeft + 180, kTop + 240, 3840, 2400, kLstIgnored, WS_EX_CLIENTEDGE));
  NameForScreenReaders(lstIgnored_, L"Ignored Users");
  AddToPage(kPrivacy, AddButton(L"Remove", kLeft + 180 + 3840 + 180, kTop + 240, kCmdRemove));
  int rows[kPageCount] = {};
  rows[kConnection] = 2;  // below the address and the port
  for (const CheckDesign& check : kChecks) {
    int row = rows[check.page]++;
    boxes_[static_cast<int>(check.box)] =
        AddToPage(check.page, AddControl(L"BUTTON", check.caption, BS_AUTOCHECKBOX | WS_TABSTOP,
                                         kLeft, RowTop(row), kWidth, kCheckHeight,
                                         kFirstBoxId + static_cast<int>(check.box)));
  }
  AddButton(L"OK", kClientWidth - kTabLeft - 2 * kButtonWidth - 120, kButtonTop, kCmdOK, true);
  AddButton(L"Cancel", kClientWidth - kTabLeft - kButtonWidth, kButtonTop, kCmdCancel);
  // Made last, the tab control lies beneath the pages' controls and, clipping its siblings,
  // never paints over them; Tab reaches it after Cancel.
  SSTab1_ = AddControl(WC_TABCONTROLW, L"", WS_TABSTOP | WS_CLIPSIBLINGS, kTabLeft, kTabTop,
                       kTabWidth, kTabHeight, kSSTab1);
  for (int page = 0; page < kPageCount; ++page) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(kPageCaptions[page]);
    SendMessageW(SSTab1_, TCM_INSERTITEMW, page, reinterpret_cast<LPARAM>(&item));
  }
  NameForScreenReaders(SSTab1_, L"Preferences pages");
  pageBrush_ = CreateSolidBrush(PageColour(SSTab1_));
  ShowPage(kGeneral);
  return true;
}

frmPreferences::~frmPreferences() {
  // The window goes before the brush its controls still paint with.
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  if (pageBrush_) DeleteObject(pageBrush_);
}

HWND frmPreferences::AddToPage(int page, HWND control) {
  pageControls_.emplace_back(page, control);
  return control;
}

void frmPreferences::ShowPage(int page) {
  page_ = page;
  SendMessageW(SSTab1_, TCM_SETCURSEL, page, 0);
  for (const auto& [onPage, control] : pageControls_) {
    ShowWindow(control, onPage == page ? SW_SHOW : SW_HIDE);
  }
}

void frmPreferences::ShowModal(PreferencesEvents& events) {
  if (!Create()) return;
  events_ = &events;
  events.Form_Load();
  if (!unloaded_) RunModal(SSTab1_);
  events_ = nullptr;
}

void frmPreferences::Unload() {
  unloaded_ = true;
  EndModal();
}

bool frmPreferences::Checked(PrefBox box) const {
  return SendMessageW(boxes_[static_cast<int>(box)], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void frmPreferences::SetChecked(PrefBox box, bool checked) {
  SendMessageW(boxes_[static_cast<int>(box)], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED,
               0);
}

std::string frmPreferences::Text(PrefText box) const {
  return GetControlText(texts_[static_cast<int>(box)]);
}

void frmPreferences::SetText(PrefText box, const std::string& text) {
  SetControlText(texts_[static_cast<int>(box)], text);
}

void frmPreferences::AddIgnored(const std::string& name) {
  // Appended: the list has no sort style, so entries keep the stored order.
  SendMessageW(lstIgnored_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(name).c_str()));
}

std::vector<std::string> frmPreferences::IgnoredEntries() const {
  std::vector<std::string> entries;
  LRESULT count = SendMessageW(lstIgnored_, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring text(SendMessageW(lstIgnored_, LB_GETTEXTLEN, i, 0) + 1, L'\0');
    LRESULT length =
        SendMessageW(lstIgnored_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length == LB_ERR ? 0 : length);
    entries.push_back(Narrow(text));
  }
  return entries;
}

std::optional<size_t> frmPreferences::SelectedIgnored() const {
  LRESULT selected = SendMessageW(lstIgnored_, LB_GETCURSEL, 0, 0);
  return selected == LB_ERR ? std::nullopt : std::optional<size_t>(selected);
}

void frmPreferences::RemoveIgnored(size_t index) {
  SendMessageW(lstIgnored_, LB_DELETESTRING, index, 0);
}

void frmPreferences::OnClick(int id) {
  if (!events_) return;
  if (id == kCmdOK) {
    events_->cmdOK_Click();
  } else if (id == kCmdCancel) {
    events_->cmdCancel_Click();
  } else if (id == kCmdRemove) {
    events_->cmdRemove_Click();
  }
}

// Ctrl+Tab and Ctrl+Page Down show the next page, with Shift or Page Up the one before, from
// any control of the window; the focus goes to the tab strip, which names the page.
bool frmPreferences::TakeFirst(const MSG& message) {
  if (message.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0) return false;
  if (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd)) return false;
  int step = 0;
  if (message.wParam == VK_TAB) step = GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
  if (message.wParam == VK_NEXT) step = 1;
  if (message.wParam == VK_PRIOR) step = -1;
  if (step == 0) return false;
  ShowPage((page_ + step + kPageCount) % kPageCount);
  SetFocus(SSTab1_);
  return true;
}

LRESULT frmPreferences::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // Labels, check boxes and the frame lie on a page: they take its colour.
  if (message == WM_CTLCOLORSTATIC && pageBrush_) {
    LOGBRUSH brush{};
    GetObjectW(pageBrush_, sizeof brush, &brush);
    SetBkColor(reinterpret_cast<HDC>(wParam), brush.lbColor);
    return reinterpret_cast<LRESULT>(pageBrush_);
  }
  // Controls that draw their parent's background through (the themed frame) find the page there.
  if (message == WM_ERASEBKGND && pageBrush_) {
    LRESULT erased = Form::HandleMessage(message, wParam, lParam);
    RECT page;
    GetClientRect(SSTab1_, &page);
    SendMessageW(SSTab1_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    MapWindowPoints(SSTab1_, hwnd_, reinterpret_cast<POINT*>(&page), 2);
    FillRect(reinterpret_cast<HDC>(wParam), &page, pageBrush_);
    return erased;
  }
  if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->hwndFrom == SSTab1_ && header->code == TCN_SELCHANGE) {
      ShowPage(static_cast<int>(SendMessageW(SSTab1_, TCM_GETCURSEL, 0, 0)));
      return 0;
    }
  }
  return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace cv3
