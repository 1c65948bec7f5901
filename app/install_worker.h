// The install worker: downloads the package into the temporary folder and
// unpacks it into the install folder, talking to the window only by posting.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "app/workflow_core.h"
#include "download/download.h"

// What the worker needs, copied so that it never reaches into the window
// object, which may be gone when the user closes the window mid-install.
struct InstallJob {
  HWND window = nullptr;      // receiver of the posted messages and owner of the extraction's boxes
  HWND folderEdit = nullptr;  // the folder box's edit control, read through the window thread
  std::wstring packageUrl;
};

// Starts the worker on a detached thread; false when the thread cannot start.
bool StartInstallWorker(InstallJob job);

// True while a worker runs (the program ends at once rather than wait for it).
bool InstallWorkerRunning();

// The worker's body, run on the calling thread (tests call it directly).
void RunInstallJob(const InstallJob& job);

// The user's temporary folder as the system gives it (ending in "\").
std::wstring TemporaryFolder();

// "未知的位置,请确定目录是否存在或手动创建目录" with the caption "提示", no owner.
void ShowMissingFolderMessage();

// Passes download progress to the window at most every 500 ms, only when the
// percentage changed.
class CDriverDownloadCallBack : public IDownloadCallBack {
 public:
  explicit CDriverDownloadCallBack(HWND window) : window_(window) {}
  int32_t OnDownloadProgress(uint32_t totalSize, int32_t percent, uint32_t rateKiB, int32_t tag) override;
  void OnDownloadStart(const wchar_t*, int32_t) override {}
  void OnServerAddress(const wchar_t*, int32_t) override {}

 private:
  HWND window_;
  workflow::ProgressGate gate_;
};
