#include "system/registration.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "build_settings.h"

namespace {

// Releases a COM interface pointer when it goes out of scope.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** put() { return &p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// The path of a shell special folder, or an empty string when the shell has none.
std::wstring SpecialFolderPath(int csidl) {
  PIDLIST_ABSOLUTE items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || items == nullptr) return {};
  wchar_t path[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDListW(items, path);
  CoTaskMemFree(items);
  return ok ? std::wstring(path) : std::wstring();
}

DWORD StringBytes(const wchar_t* text) {
  return static_cast<DWORD>(wcslen(text) * sizeof(wchar_t));
}

}  // namespace

bool SetRegStringWith(const RegistryWriters& writers, HKEY root, const wchar_t* subKey, const wchar_t* valueName,
                      const wchar_t* data) {
  if (root == nullptr || subKey == nullptr || *subKey == L'\0' || valueName == nullptr || *valueName == L'\0' ||
      data == nullptr)
    return false;
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  // stored without the terminating null, as the application's readers expect
  LONG result = writers.setValue(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), StringBytes(data));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool SetRegString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* data) {
  return SetRegStringWith(RegistryWriters{}, root, subKey, valueName, data);
}

bool CreateShortcut(const wchar_t* targetPath, const wchar_t* folder, const wchar_t* linkName) {
  if (folder == nullptr || targetPath == nullptr || linkName == nullptr) return false;
  ComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.put()))))
    return false;
  ComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) return false;
  link->SetPath(targetPath);
  link->SetDescription(targetPath);
  link->SetShowCmd(SW_SHOWNORMAL);
  std::wstring linkPath = std::wstring(folder) + L"\\" + linkName;
  return SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
}

bool RegisterApplicationWith(const RegistryWriters& writers, const wchar_t* targetPath, int mode, bool desktopShortcut,
                             bool startMenuShortcut, bool runAtStartup) {
  if (targetPath == nullptr || *targetPath == L'\0') return false;
  // nests inside the caller's own initialisation; only a call that succeeded
  // is balanced, so a caller in another apartment keeps its COM
  bool comStarted = SUCCEEDED(CoInitialize(nullptr));

  if (desktopShortcut) {
    std::wstring desktop = SpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY);
    if (!desktop.empty()) (void)CreateShortcut(targetPath, desktop.c_str(), kAppLinkName);
  }
  if (startMenuShortcut) {
    std::wstring programs = SpecialFolderPath(CSIDL_PROGRAMS);
    if (!programs.empty()) {
      std::wstring folder = programs + kStartMenuFolder;
      CreateDirectoryW(folder.c_str(), nullptr);
      (void)CreateShortcut(targetPath, folder.c_str(), mode == 1 ? kUninstallLinkName : kAppLinkName);
    }
  }
  if (runAtStartup) (void)SetRegStringWith(writers, HKEY_LOCAL_MACHINE, kRunKey, kProductName, targetPath);
  if (mode == 1) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS)
      RegCloseKey(key);
    std::wstring homePage = std::wstring(L"http://") + QUORVI_HOME_HOST + L"/";
    const wchar_t* values[][2] = {
        {L"DisplayName", kProductName},   {L"DisplayVersion", kProductVersion}, {L"URLInfoAbout", homePage.c_str()},
        {L"UninstallString", targetPath}, {L"DisplayIcon", targetPath},         {L"Publisher", kProductName},
    };
    for (const auto& value : values)
      (void)SetRegStringWith(writers, HKEY_LOCAL_MACHINE, kUninstallKey, value[0], value[1]);
    writers.shSetValue(HKEY_CURRENT_USER, kVersionKey, kVersionValue, REG_SZ, kProductVersion,
                       StringBytes(kProductVersion));
  }
  if (comStarted) CoUninitialize();
  return true;
}

bool RegisterApplication(const wchar_t* targetPath, int mode, bool desktopShortcut, bool startMenuShortcut,
                         bool runAtStartup) {
  return RegisterApplicationWith(RegistryWriters{}, targetPath, mode, desktopShortcut, startMenuShortcut, runAtStartup);
}
