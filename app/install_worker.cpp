#include "app/install_worker.h"

#include <io.h>

#include <thread>

#include "app/install_folder.h"
#include "app/window_messages.h"
#include "extract/extract_package.h"

namespace {

constexpr wchar_t kMissingFolder[] = L"未知的位置,请确定目录是否存在或手动创建目录";
constexpr wchar_t kNoticeCaption[] = L"提示";
constexpr WPARAM kDownloadFailedCode = 7;

std::atomic<int> runningWorkers{0};

}  // namespace

int32_t CDriverDownloadCallBack::OnDownloadProgress(uint32_t, int32_t percent, uint32_t, int32_t) {
  if (gate_.Offer(GetTickCount(), static_cast<uint32_t>(percent)) && window_)
    PostMessageW(window_, UM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(percent), 0);
  return 0;
}

std::wstring TemporaryFolder() {
  wchar_t buffer[MAX_PATH] = {};
  DWORD n = GetTempPathW(MAX_PATH, buffer);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

void ShowMissingFolderMessage() { MessageBoxW(nullptr, kMissingFolder, kNoticeCaption, MB_OK); }

void RunInstallJob(const InstallJob& job) {
  std::wstring text;
  ReadFolderText(job.folderEdit, text);
  const std::wstring folder = workflow::NormalizeFolder(text);
  const bool fits = workflow::FolderFitsBuffers(folder);
  if (!fits || (!CreateInstallFolder(folder) && _waccess(folder.c_str(), 0) != 0)) ShowMissingFolderMessage();

  CDriverDownloadCallBack callback(job.window);
  const std::wstring temp = TemporaryFolder();
  int32_t result = DownloadFile(job.packageUrl.c_str(), temp.c_str(), &callback, 0, 1, 0, 0);
  if (result == DOWNLOAD_OK || result == DOWNLOAD_EXISTS) {
    PostMessageW(job.window, UM_DOWNLOAD_DONE, 0, 0);
    const std::wstring archive = temp + workflow::kArchiveName;
    if (fits) {
      ExtractPackage(archive.c_str(), folder.c_str(), job.window);
    } else {
      // never unpack into a folder the buffers cannot hold; report it like an unopened archive
      ExtractPackage(L"", folder.c_str(), job.window);
    }
  } else {
    PostMessageW(job.window, UM_DOWNLOAD_FAILED, kDownloadFailedCode, 0);
  }
}

bool StartInstallWorker(InstallJob job) {
  try {
    ++runningWorkers;
    std::thread([job = std::move(job)] {
      RunInstallJob(job);
      --runningWorkers;
    }).detach();
    return true;
  } catch (const std::system_error&) {
    --runningWorkers;
    return false;
  }
}

bool InstallWorkerRunning() { return runningWorkers.load() > 0; }
