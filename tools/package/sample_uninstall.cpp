// QuorviUnInstall.exe of the sample package: removes what the installer wrote.
//
//   QuorviUnInstall.exe [/quiet]
//
// Without /quiet it asks for confirmation first and reports the end in a
// message box; /quiet shows nothing. Exit code 0 when it went through, 1 when
// the user declined.
//
// It removes:
//  - HKLM "Software\Microsoft\Windows\CurrentVersion\Run" value "Quorvi手机助手";
//  - HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvi手机助手" (the whole key);
//  - HKCU "Software\ZELKvesion" value "CurrentVesion", and that key when nothing else is left in it;
//  - "Quorvi手机助手.lnk" on the all-users desktop;
//  - "Quorvi手机助手.lnk" and "Quorvi手机助手卸载.lnk" in the user's Programs folder's
//    "Quorvi手机助手" folder, and that folder when it is empty then;
//  - the application folder it runs from, with everything in it, but only when
//    that folder is called "QuorviPhoneAx": a copy of the uninstaller started
//    from anywhere else must not wipe a folder the installer never made. The
//    folder above it (the user's install folder) is left alone.
// A running program cannot delete its own file, so the uninstaller deletes
// everything else and schedules its own file and the then empty folder for
// deletion at the next restart (MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT);
// any other file that is in use is scheduled the same way.
// the shell headers need the types <windows.h> declares
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <string>

#include "framework/raii.h"
#include "system/registration.h"
#include "tools/package/module_path.h"

namespace {

// the names the installer registers under (system/registration.h)
constexpr wchar_t kAppFolderName[] = L"QuorviPhoneAx";
constexpr const wchar_t* kAppLink = kAppLinkName;
constexpr const wchar_t* kUninstallLink = kUninstallLinkName;
constexpr wchar_t kConfirmCaption[] = L"Quorvi手机助手卸载";
constexpr wchar_t kConfirmText[] = L"确定要卸载Quorvi手机助手吗？";
constexpr wchar_t kDoneText[] = L"Quorvi手机助手已卸载。";

struct RegKeyTraits {
  using Type = HKEY;
  static HKEY Invalid() { return nullptr; }
  static void Release(HKEY key) { ::RegCloseKey(key); }
};
using UniqueRegKey = UniqueResource<RegKeyTraits>;

struct FindTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Release(HANDLE h) { ::FindClose(h); }
};
using UniqueFind = UniqueResource<FindTraits>;

void DeleteValue(HKEY root, const wchar_t* subKey, const wchar_t* name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root, subKey, 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return;
  UniqueRegKey key(raw);
  RegDeleteValueW(key.get(), name);
}

// Removes a key of ours only when nothing else lives in it any more.
void DeleteKeyIfEmpty(HKEY root, const wchar_t* subKey) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return;
  DWORD subKeys = 0, values = 0;
  LONG rc;
  {
    UniqueRegKey key(raw);
    rc = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                          nullptr, nullptr);
  }
  if (rc == ERROR_SUCCESS && subKeys == 0 && values == 0) RegDeleteKeyW(root, subKey);
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

void RemoveLinks() {
  std::wstring desktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  if (!desktop.empty()) DeleteFileW((desktop + L"\\" + kAppLink).c_str());
  std::wstring programs = SpecialFolder(CSIDL_PROGRAMS);
  if (programs.empty()) return;
  std::wstring folder = programs + L"\\" + kProductName;
  DeleteFileW((folder + L"\\" + kAppLink).c_str());
  DeleteFileW((folder + L"\\" + kUninstallLink).c_str());
  RemoveDirectoryW(folder.c_str());  // only goes when empty: the user may keep own links there
}

void DeleteLater(const std::wstring& path) {
  MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void DeleteFileNowOrLater(const std::wstring& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!DeleteFileW(path.c_str())) DeleteLater(path);
}

// Empties `folder` and removes it; `keep` (our own file) is scheduled instead.
void DeleteTree(const std::wstring& folder, const std::wstring& keep) {
  WIN32_FIND_DATAW entry;
  UniqueFind find(
      FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
  if (find) {
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      bool isFolder = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
      if (isFolder && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        DeleteTree(path, keep);
      } else if (isFolder) {
        RemoveDirectoryW(path.c_str());  // a junction: remove the link, never what it points to
      } else if (lstrcmpiW(path.c_str(), keep.c_str()) == 0) {
        DeleteLater(path);
      } else {
        DeleteFileNowOrLater(path, entry.dwFileAttributes);
      }
    } while (FindNextFileW(find.get(), &entry));
  }
  find.reset();
  if (!RemoveDirectoryW(folder.c_str())) DeleteLater(folder);
}

void RemoveApplicationFolder() {
  std::wstring self = ModulePath();
  size_t slash = self.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return;
  std::wstring folder = self.substr(0, slash);
  size_t parent = folder.find_last_of(L"\\/");
  std::wstring leaf = parent == std::wstring::npos ? folder : folder.substr(parent + 1);
  if (lstrcmpiW(leaf.c_str(), kAppFolderName) != 0) return;
  DeleteTree(folder, self);
}

bool HasQuietSwitch() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  bool quiet = false;
  for (int i = 1; argv && i < argc; ++i) {
    if (lstrcmpiW(argv[i], L"/quiet") == 0) quiet = true;
  }
  LocalFree(argv);
  return quiet;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  bool quiet = HasQuietSwitch();
  if (!quiet && MessageBoxW(nullptr, kConfirmText, kConfirmCaption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return 1;
  DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kProductName);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
  DeleteValue(HKEY_CURRENT_USER, kVersionKey, kVersionValue);
  DeleteKeyIfEmpty(HKEY_CURRENT_USER, kVersionKey);
  RemoveLinks();
  RemoveApplicationFolder();
  if (!quiet) MessageBoxW(nullptr, kDoneText, kConfirmCaption, MB_OK | MB_ICONINFORMATION);
  return 0;
}
