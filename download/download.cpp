#include "download/download.h"

#include <windows.h>
// after windows.h, which it needs
#include <shlwapi.h>

#include <memory>
#include <string>

#include "download/download_core.h"
#include "download/http_get.h"

namespace {

constexpr size_t kMaxFolderUnits = 260;  // terminator included

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeOneFolder(const wchar_t* path, _SECURITY_ATTRIBUTES* securityAttributes) {
  return CreateDirectoryW(path, securityAttributes) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

int CreateFolderPath(const wchar_t* path, _SECURITY_ATTRIBUTES* securityAttributes) {
  if (!path || !*path) return 0;
  size_t length = wcslen(path);
  if (length >= kMaxFolderUnits) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  wchar_t copy[kMaxFolderUnits];
  wcscpy_s(copy, path);
  wchar_t* rest = PathSkipRootW(copy);
  if (!rest) return 0;
  for (wchar_t* p = rest; *p; ++p) {
    if (*p != L'\\') continue;
    *p = L'\0';
    MakeOneFolder(copy, securityAttributes);
    *p = L'\\';
  }
  MakeOneFolder(copy, securityAttributes);
  return IsFolder(copy) ? 1 : 0;
}

int32_t DownloadFile(const wchar_t* url, const wchar_t* folder, IDownloadCallBack* callback, int32_t tag,
                     int32_t allowMultiConnection, int32_t overwrite, int32_t appendUrlExtension) {
  if (!url || !folder) return DOWNLOAD_E_ARGS;
  auto context = std::make_unique<CHttpGet>(callback, tag, allowMultiConnection, overwrite);

  std::wstring current = url;
  bool settled = false;
  for (int check = 0; check < dlcore::kMaxRedirectChecks; ++check) {
    std::wstring location;
    if (!context->ResolveRedirect(current, location)) {
      settled = true;
      break;
    }
    current = location;
  }
  // still moving after the last check: no usable address
  if (!settled) current.clear();

  std::wstring expectedDigest = dlcore::ExpectedDigest(current);
  dlcore::ParsedUrl parsed = dlcore::ParseUrl(current);
  // the file name comes from the server's redirects too: it must not lead
  // out of the folder or name a device
  if (parsed.host.empty() || parsed.path.empty() || !dlcore::IsSafeFileName(parsed.fileName)) {
    return DOWNLOAD_E_BAD_URL;
  }

  std::wstring localPath = dlcore::LocalPath(folder, parsed.fileName, appendUrlExtension != 0);
  if (auto parent = dlcore::ParentFolder(localPath)) {
    if ((!parent->empty() && (*parent)[0] == L'\\') || !IsFolder(*parent)) {
      if (!CreateFolderPath(parent->c_str(), nullptr)) return DOWNLOAD_E_ARGS;
    }
  }
  if (callback) callback->OnDownloadStart(localPath.c_str(), tag);

  if (context->ProbeSize(parsed.host, parsed.path, parsed.port)) {
    (void)context->RunSegments(parsed.host, parsed.port, parsed.path, localPath, expectedDigest);
  }
  return context->resultCode;
}
