// The download engine's public face: the callback the caller implements, the
// result codes and the one blocking entry, DownloadFile.
#pragma once
#include <cstdint>

// Result codes. 1 and 7 are success; every other value is a failure.
constexpr int32_t DOWNLOAD_OK = 1;                    // downloaded, joined and, with an expected digest, verified
constexpr int32_t DOWNLOAD_E_NOT_FOUND = 2;           // the status line named 404 or 403
constexpr int32_t DOWNLOAD_E_BAD_URL = 4;             // no host, path or usable file name; or too many redirects
constexpr int32_t DOWNLOAD_STOPPED = 5;               // the callback asked to stop
constexpr int32_t DOWNLOAD_E_DIGEST = 6;              // the joined file's MD5 differs; it has been deleted
constexpr int32_t DOWNLOAD_EXISTS = 7;                // the target exists and overwrite was not asked for
constexpr int32_t DOWNLOAD_E_EVENT = 8;               // the stop event could not be created
constexpr int32_t DOWNLOAD_E_CREATE_TARGET = 9;       // the target file for joining could not be created
constexpr int32_t DOWNLOAD_E_READ_PART = 10;          // a part file could not be opened while joining
constexpr int32_t DOWNLOAD_E_OPEN_PART = 11;          // a part file could not be opened for writing
constexpr int32_t DOWNLOAD_E_ARGS = 12;               // null URL or folder, or the folder could not be created
constexpr int32_t DOWNLOAD_E_NO_HEADER = 14;          // no complete response header arrived
constexpr int32_t DOWNLOAD_E_SEND = 15;               // sending a request failed
constexpr int32_t DOWNLOAD_E_CONNECTION_LOST = 16;    // a connection ended before its part was complete
constexpr int32_t DOWNLOAD_E_UNEXPECTED_STATUS = 17;  // a transfer request got an answer other than the one asked for
constexpr int32_t DOWNLOAD_E_CONNECT = 18;            // initial value; connecting failed; or the server named no size
constexpr int32_t DOWNLOAD_E_NO_LOCATION = 19;        // 301 or 302 without a Location value
constexpr int32_t DOWNLOAD_E_THREAD = 20;             // a worker thread could not be started
constexpr int32_t DOWNLOAD_E_ALLOC = 21;              // the segment tables could not be allocated

// Implemented by the caller, who owns and destroys the object: the engine
// never deletes through this interface, so it has no virtual destructor.
// The slot order is part of the contract.
class IDownloadCallBack {
 public:
  // A worker thread calls this after every received block while it holds the
  // engine's progress lock, only once the total size is known. Returning 1
  // stops the transfer keeping the part files, 2 stops it and deletes them;
  // any other value continues.
  virtual int32_t OnDownloadProgress(uint32_t totalSize, int32_t percent, uint32_t rateKiB, int32_t tag) = 0;
  // Once per request on the calling thread, before the size probe.
  virtual void OnDownloadStart(const wchar_t* localPath, int32_t tag) = 0;
  // A worker thread calls this after each connection attempt, only when the
  // tag is not 0; the address is empty when none was chosen.
  virtual void OnServerAddress(const wchar_t* address, int32_t tag) = 0;

 protected:
  ~IDownloadCallBack() = default;
};

// Fetches `url` into `folder` and returns one of the codes above. Blocks until
// every worker has ended. `folder` is normally a folder path ending in a
// backslash (the file name is appended as it is); with appendUrlExtension it
// is the target path without extension. callback may be null.
[[nodiscard]] int32_t DownloadFile(const wchar_t* url, const wchar_t* folder, IDownloadCallBack* callback, int32_t tag,
                                   int32_t allowMultiConnection, int32_t overwrite, int32_t appendUrlExtension);

// Creates `path` and every missing folder above it; non-zero on success.
struct _SECURITY_ATTRIBUTES;
[[nodiscard]] int CreateFolderPath(const wchar_t* path, _SECURITY_ATTRIBUTES* securityAttributes);
