#include "extract/extract_package.h"

#include <string>

#include "app/window_messages.h"
#include "extract/archive.h"

namespace {

constexpr wchar_t kOpenFailed[] = L"打开压缩包解压路径出错!";
constexpr wchar_t kBaseFolderFailed[] = L"设置解压路径出错!";
constexpr wchar_t kCountFailed[] = L"获取压缩包对象出错!";
constexpr wchar_t kIncomplete[] = L"未解压完全!";

}  // namespace

bool ExtractPackage(const wchar_t* archivePath, const wchar_t* installFolder, HWND window, ShowMessageFn showMessage) {
  auto fail = [&](WPARAM stage, const std::wstring& text) {
    // the worker waits in the box; the window learns of the failure once it is closed
    showMessage(window, text.c_str(), nullptr, 0);
    PostMessageW(window, UM_EXTRACT_FAILED, stage, 0);
  };

  ArchiveHandle* archive = ArchiveOpen(archivePath, nullptr);
  if (archive == nullptr) {
    fail(kExtractStageOpen, kOpenFailed);
    return true;
  }

  bool failed = false;
  ArchiveItem item;
  if (ArchiveSetBaseFolder(archive, installFolder) != ARCHIVE_OK) {
    fail(kExtractStageBaseFolder, kBaseFolderFailed);
    failed = true;
  } else if (ArchiveGetItem(archive, -1, &item) != ARCHIVE_OK) {
    fail(kExtractStageCount, kCountFailed);
    failed = true;
  } else {
    const int32_t count = item.index;
    for (int32_t i = 0; i < count; ++i) {
      PostMessageW(window, UM_EXTRACT_PROGRESS, static_cast<WPARAM>(i), static_cast<LPARAM>(count));
      const bool last = i == count - 1;
      int32_t rc = ArchiveGetItem(archive, i, &item);
      if (rc != ARCHIVE_OK) {
        // a failure on the last item is silent
        if (!last) {
          fail(kExtractStageDescribe, kIncomplete + std::to_wstring(rc));
          failed = true;
        }
        break;
      }
      rc = ArchiveExtractItem(archive, i, item.name);
      // an empty member reports no end of data, yet its empty file is complete
      if (rc == ARCHIVE_E_INFLATE && item.size == 0) rc = ARCHIVE_OK;
      if (rc != ARCHIVE_OK) {
        if (!last) {
          fail(kExtractStageWrite, kIncomplete + std::to_wstring(rc));
          failed = true;
        }
        break;
      }
    }
  }
  ArchiveClose(archive);
  if (!failed) PostMessageW(window, UM_EXTRACT_DONE, 0, 0);
  return true;
}
