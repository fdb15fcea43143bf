// cv3setuptool: sets up what the installer meets on a player's machine, for scripts.
//   cv3setuptool hold NAME [denied]     holds the mutex NAME until its input ends, printing
//                                       "held NAME" once it does; "denied": one that only SYSTEM
//                                       owns and may open, so that opening it is refused (access
//                                       denied), as an elevated program's is to one not elevated
//   cv3setuptool shortcut LINK TARGET   makes the shortcut file LINK, which starts TARGET
// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
// clang-format on

#include <cstdio>
#include <string>

namespace {

// What the scripts rely on, so checked before "held": opening it is refused to us too.
bool RefusedToUs(const wchar_t* name) {
  HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, name);
  if (opened) CloseHandle(opened);
  return !opened && GetLastError() == ERROR_ACCESS_DENIED;
}

int Hold(const wchar_t* name, bool denied) {
  // Wine lets a program name another owner; with an owner of our own it could always be opened.
  PSECURITY_DESCRIPTOR systemOnly = nullptr;
  if (denied && !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                    L"O:SYD:(A;;GA;;;SY)", SDDL_REVISION_1, &systemOnly, nullptr)) {
    std::fprintf(stderr, "cv3setuptool: no security descriptor (error %lu)\n", GetLastError());
    return 1;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, systemOnly, FALSE};
  HANDLE mutex = CreateMutexW(denied ? &attributes : nullptr, FALSE, name);
  DWORD error = GetLastError();
  LocalFree(systemOnly);
  if (!mutex || error == ERROR_ALREADY_EXISTS || (denied && !RefusedToUs(name))) {
    std::fprintf(stderr, "cv3setuptool: %ls is held already, cannot be made or is not refused\n",
                 name);
    return 1;
  }
  std::printf("held %ls\n", name);
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(mutex);
  return 0;
}

int MakeShortcut(const wchar_t* link, const wchar_t* target) {
  if (FAILED(CoInitialize(nullptr))) return 1;
  IShellLinkW* shellLink = nullptr;
  IPersistFile* file = nullptr;
  bool saved =
      SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shellLink))) &&
      SUCCEEDED(shellLink->SetPath(target)) &&
      SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Save(link, TRUE));
  if (file) file->Release();
  if (shellLink) shellLink->Release();
  CoUninitialize();
  if (!saved) std::fprintf(stderr, "cv3setuptool: could not make %ls\n", link);
  return saved ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc >= 2 ? argv[1] : L"";
  if (command == L"hold" && (argc == 3 || (argc == 4 && std::wstring(argv[3]) == L"denied"))) {
    return Hold(argv[2], argc == 4);
  }
  if (command == L"shortcut" && argc == 4) return MakeShortcut(argv[2], argv[3]);
  std::fprintf(stderr, "usage: cv3setuptool hold NAME [denied] | shortcut LINK TARGET\n");
  return 2;
}
