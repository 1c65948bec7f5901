#include "app/install_folder.h"

#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "app/workflow_core.h"

namespace {

constexpr wchar_t kBrowseTitle[] = L"选择解压文件路径";

// Frees a shell item-id list with the shell's allocator.
struct ItemIdListOwner {
  LPITEMIDLIST list = nullptr;
  ~ItemIdListOwner() { CoTaskMemFree(list); }
};

int CALLBACK SelectInitialFolder(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

std::wstring DefaultInstallFolder() {
  wchar_t path[MAX_PATH] = {};
  ItemIdListOwner programFiles;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES, &programFiles.list)) && programFiles.list)
    SHGetPathFromIDListW(programFiles.list, path);
  return std::wstring(path) + L"\\";
}

void ReadFolderText(HWND edit, std::wstring& out) {
  int length = GetWindowTextLengthW(edit);
  std::vector<wchar_t> buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  GetWindowTextW(edit, buffer.data(), static_cast<int>(buffer.size()));
  out.assign(buffer.data());
}

bool BrowseForFolder(std::wstring* result, const std::wstring& initial) {
  if (result == nullptr) return false;
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return false;

  // a folder C:\Program Files\ is selected as C:\Program Files
  std::wstring start = initial;
  if (!start.empty() && start.back() == L'\\') start.pop_back();

  ItemIdListOwner root;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &root.list);
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info = {};
  info.hwndOwner = nullptr;
  info.pidlRoot = root.list;
  info.pszDisplayName = displayName;
  info.lpszTitle = kBrowseTitle;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = SelectInitialFolder;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());

  bool picked = false;
  if (LPITEMIDLIST chosen = SHBrowseForFolderW(&info)) {
    picked = true;
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) {
      *result = path;
      if (!result->empty() && result->back() != L'\\') *result += L'\\';
    }
    allocator->Free(chosen);
  }
  allocator->Release();
  return picked;
}

bool CreateInstallFolder(const std::wstring& path) {
  if (path.size() >= workflow::kCreateFolderUnits) return false;
  if (_waccess(path.c_str(), 0) == 0) return true;
  return _wmkdir(path.c_str()) == 0;
}
