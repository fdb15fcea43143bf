#include "testbed/remote_controls_win32.h"

#include <commctrl.h>

namespace cv3::testbed {
namespace {

std::string ToUtf8(const wchar_t* text, int length) {
  if (length <= 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

// A buffer in the process that owns a window, freed on scope exit.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) {
      memory_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~RemoteBuffer() {
    if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  bool ok() const { return memory_ != nullptr; }
  char* at(size_t offset) const { return static_cast<char*>(memory_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    return WriteProcessMemory(process_, at(offset), data, size, nullptr);
  }
  bool Read(size_t offset, void* data, size_t size) const {
    return ReadProcessMemory(process_, at(offset), data, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* memory_ = nullptr;
  size_t size_;
};

}  // namespace

std::string ReadStatusText(HWND statusBar, int part) {
  LRESULT length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0));
  RemoteBuffer buffer(statusBar, (length + 1) * sizeof(wchar_t));
  if (!buffer.ok()) return {};
  SendMessageW(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buffer.at(0)));
  std::wstring text(length + 1, L'\0');
  buffer.Read(0, text.data(), (length + 1) * sizeof(wchar_t));
  return ToUtf8(text.c_str(), static_cast<int>(wcsnlen(text.c_str(), length)));
}

std::vector<TreeItemInfo> ReadTree(HWND tree) {
  std::vector<TreeItemInfo> items;
  constexpr int kTextChars = 512;
  RemoteBuffer buffer(tree, sizeof(TVITEMW) + kTextChars * sizeof(wchar_t));
  if (!buffer.ok()) return items;
  auto read = [&](HTREEITEM item, TreeItemInfo& info) {
    TVITEMW tv{};
    tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE | TVIF_HANDLE;
    tv.hItem = item;
    tv.stateMask = TVIS_BOLD;
    tv.pszText = reinterpret_cast<wchar_t*>(buffer.at(sizeof(TVITEMW)));
    tv.cchTextMax = kTextChars;
    buffer.Write(0, &tv, sizeof tv);
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.at(0)));
    buffer.Read(0, &tv, sizeof tv);
    wchar_t text[kTextChars] = {};
    buffer.Read(sizeof(TVITEMW), text, sizeof text);
    text[kTextChars - 1] = 0;
    info.text = ToUtf8(text, static_cast<int>(wcslen(text)));
    info.image = tv.iImage + 1;  // roster image n is index n - 1 of the image list
    info.bold = (tv.state & TVIS_BOLD) != 0;
    info.handle = static_cast<void*>(item);
  };
  auto next = [&](HTREEITEM item, WPARAM how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
  };
  for (HTREEITEM root = next(nullptr, TVGN_ROOT); root; root = next(root, TVGN_NEXT)) {
    TreeItemInfo group;
    read(root, group);
    items.push_back(group);
    for (HTREEITEM child = next(root, TVGN_CHILD); child; child = next(child, TVGN_NEXT)) {
      TreeItemInfo info;
      read(child, info);
      info.parent = group.text;
      items.push_back(info);
    }
  }
  return items;
}

std::string ReadWindowText(HWND window) {
  std::wstring text(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
  int length = static_cast<int>(
      SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  return ToUtf8(text.data(), length);
}

std::vector<HWND> ChildrenByClass(HWND parent, const wchar_t* className) {
  struct Search {
    const wchar_t* className;
    std::vector<HWND> found;
  } search{className, {}};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        wchar_t name[128];
        GetClassNameW(child, name, 128);
        if (lstrcmpiW(name, s->className) == 0) s->found.push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindChildByClass(HWND parent, const wchar_t* className) {
  std::vector<HWND> found = ChildrenByClass(parent, className);
  return found.empty() ? nullptr : found.front();
}

bool SelectTreeItem(HWND tree, const std::string& text) {
  for (const TreeItemInfo& item : ReadTree(tree)) {
    if (item.text != text) continue;
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item.handle));
    return true;
  }
  return false;
}

std::string FontFace(HWND control) {
  LOGFONTW font{};
  auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (!handle || !GetObjectW(handle, sizeof font, &font)) return "system";
  return ToUtf8(font.lfFaceName, lstrlenW(font.lfFaceName));
}

}  // namespace cv3::testbed
