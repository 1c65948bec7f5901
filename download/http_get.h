// The download context and the Windows side of the engine: locks, the socket
// library owner, part files, the rate meter, and the stages of one request
// (redirect check, size probe, segmented transfer, join).
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "download/download.h"
#include "download/download_core.h"
#include "framework/raii.h"

// One critical section; the platform's enter and leave are its lock and unlock.
class CSyncMutex {
 public:
  CSyncMutex() { InitializeCriticalSection(&section_); }
  virtual ~CSyncMutex() { DeleteCriticalSection(&section_); }
  CSyncMutex(const CSyncMutex&) = delete;
  CSyncMutex& operator=(const CSyncMutex&) = delete;
  void Lock() { EnterCriticalSection(&section_); }
  void Unlock() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class CSyncLock {
 public:
  explicit CSyncLock(CSyncMutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~CSyncLock() { mutex_.Unlock(); }
  CSyncLock(const CSyncLock&) = delete;
  CSyncLock& operator=(const CSyncLock&) = delete;

 private:
  CSyncMutex& mutex_;
};

// Owns the Windows Sockets 1.1 library use of one download context and opens
// blocking IPv4 connections with 10-second send and receive time-outs.
class CSocketWrapper {
 public:
  static constexpr DWORD kTimeoutMs = 10000;
  CSocketWrapper();
  virtual ~CSocketWrapper();
  CSocketWrapper(const CSocketWrapper&) = delete;
  CSocketWrapper& operator=(const CSocketWrapper&) = delete;

  // A connected socket or INVALID_SOCKET. addressText is the dotted address
  // chosen among the host's addresses (also when connecting to it failed),
  // empty when none was chosen.
  SOCKET Connect(const std::wstring& host, int32_t port, std::wstring& addressText);
  SOCKET ConnectTo(const std::wstring& host, int32_t port);
  SOCKET ConnectTo(const std::wstring& host, int32_t port, std::wstring& addressText);

 private:
  bool started_ = false;  // cleanup only balances a startup that kept the library
};

class CFileWrapper {
 public:
  virtual ~CFileWrapper() = default;
  bool Exists(const std::wstring& path) const;
  // Opens for reading and writing without truncating ("r+b"), or creates ("w+b").
  FILE* Open(const std::wstring& path) const;
  uint32_t Size(const std::wstring& path) const;
};

class CRateMeter {
 public:
  void Add(uint32_t bytes) { window_.Add(bytes, GetTickCount()); }
  uint32_t Rate() { return window_.Rate(GetTickCount()); }

 private:
  dlcore::RateWindow window_;
};

class CHttpGet;

struct SegmentTask {
  std::wstring host;
  int32_t port = 0;
  std::wstring path;
  std::wstring partFile;
  uint32_t start = 0;
  uint32_t end = 0;  // one past the segment's last byte
  int32_t rangesSupported = 0;
  CHttpGet* owner = nullptr;
};

class CHttpGet {
 public:
  static constexpr int kMaxAttempts = 7;
  static constexpr DWORD kRetryPauseMs = 500;
  static constexpr DWORD kStopPollMs = 50;
  // Each worker's receive buffer, and the socket's own: both large, so that a
  // fast link is drained with few calls.
  static constexpr size_t kReceiveBlock = 1 << 20;
  static constexpr int kSocketReceiveBuffer = 8 << 20;

  CHttpGet(IDownloadCallBack* callback, int32_t tag, int32_t allowMultiConnection, int32_t overwrite);
  virtual ~CHttpGet();
  CHttpGet(const CHttpGet&) = delete;
  CHttpGet& operator=(const CHttpGet&) = delete;

  // HTTP exchanges over one connection. A failed send closes the socket.
  [[nodiscard]] bool SendText(UniqueSocket& socket, const std::wstring& text);
  [[nodiscard]] bool SendLines(UniqueSocket& socket, const std::vector<std::wstring>& lines);
  // Stores a header block and a terminating zero into `buffer` (kMaxHeaderBytes + 1
  // bytes) and returns its length; 0 when nothing arrived or the block filled
  // the buffer without its blank line (then it is no header at all).
  size_t ReadHeader(SOCKET socket, char* buffer);
  [[nodiscard]] bool ReadHeaderText(SOCKET socket, std::wstring& header);
  [[nodiscard]] bool CheckRedirect(UniqueSocket& socket, const std::wstring& host, const std::wstring& path,
                                   std::wstring& location);
  [[nodiscard]] bool RequestSegment(UniqueSocket& socket, const std::wstring& host, const std::wstring& path,
                                    uint32_t firstByte, uint32_t endValue);
  [[nodiscard]] bool RequestWhole(UniqueSocket& socket, const std::wstring& host, const std::wstring& path);

  // Redirect check and size probe.
  [[nodiscard]] bool ResolveRedirect(const std::wstring& url, std::wstring& location);
  [[nodiscard]] bool ProbeSize(const std::wstring& host, const std::wstring& path, int32_t port);
  [[nodiscard]] bool RequestSize(const std::wstring& host, const std::wstring& path, int32_t port);

  // Segmented transfer and join.
  [[nodiscard]] bool RunSegments(const std::wstring& host, int32_t port, const std::wstring& path,
                                 const std::wstring& localPath, const std::wstring& expectedDigest);
  void SegmentWorker(SegmentTask& task);
  void ReportProgress(uint64_t downloaded, uint32_t blockLength);
  [[nodiscard]] bool AppendPart(const SegmentTask& task, FILE* target);
  // Joins the completed parts into the target; 0 or the failure's result code.
  [[nodiscard]] int32_t JoinParts(const std::wstring& localPath);

  void SetResult(int32_t code);

  IDownloadCallBack* callback = nullptr;
  int32_t tag = 0;
  int32_t allowMultiConnection = 0;
  int32_t overwrite = 0;
  int32_t resultCode = DOWNLOAD_E_CONNECT;
  uint64_t totalSize = 0;
  int32_t rangesSupported = 0;
  UniqueHandle stopEvent;
  std::atomic<bool> stopRequested{false};  // set together with stopEvent
  int32_t stopMode = 0;
  std::vector<SegmentTask> segments;
  std::atomic<int32_t> completedCount{0};
  uint64_t downloadedBytes = 0;
  CSyncMutex progressLock;
  CSyncMutex stateLock;
  CSocketWrapper sockets;
  CRateMeter rateMeter;
  CFileWrapper files;

 private:
  enum class Receive { kComplete, kStopped, kLost };
  Receive ReceiveBody(SOCKET socket, FILE* part, const SegmentTask& task, uint32_t existing, uint32_t& received,
                      char* buffer);
};

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const char* bytes, size_t length);
