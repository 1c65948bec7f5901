#include "download/http_get.h"

#include <io.h>
#include <process.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "download/file_md5.h"

using dlcore::TransferAnswer;

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring FromAnsi(const char* bytes, size_t length) {
  if (length == 0) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), out.data(), n);
  return out;
}

// ---------------------------------------------------------------- sockets

CSocketWrapper::CSocketWrapper() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return;
  if (data.wVersion != MAKEWORD(1, 1)) {
    WSACleanup();
    return;
  }
  started_ = true;
}

CSocketWrapper::~CSocketWrapper() {
  if (started_) WSACleanup();
}

SOCKET CSocketWrapper::Connect(const std::wstring& host, int32_t port, std::wstring& addressText) {
  addressText.clear();
  if (host.empty() || port < 1 || port > 65535) return INVALID_SOCKET;
  UniqueSocket sock(socket(AF_INET, SOCK_STREAM, 0));
  if (!sock) {
    wprintf(L"Allocating socket failed. Error: %d\n", WSAGetLastError());
    return INVALID_SOCKET;
  }
  DWORD timeout = kTimeoutMs;
  setsockopt(sock.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  setsockopt(sock.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);

  std::string name = ToAnsi(host);
  hostent* entry = gethostbyname(name.c_str());
  if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list || !entry->h_addr_list[0]) {
    wprintf(L"Unable to get the host name. Error: %d\n", WSAGetLastError());
    return INVALID_SOCKET;
  }
  std::vector<in_addr> addresses;
  for (char** item = entry->h_addr_list; *item; ++item) {
    in_addr address;
    memcpy(&address, *item, sizeof address);
    addresses.push_back(address);
  }
  // seeded per call: calls within one tick pick the same address
  srand(GetTickCount());
  in_addr chosen = addresses[static_cast<size_t>(rand()) % addresses.size()];

  sockaddr_in target = {};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<u_short>(port));
  target.sin_addr = chosen;
  const char* dotted = inet_ntoa(chosen);
  addressText = FromAnsi(dotted, strlen(dotted));
  if (connect(sock.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == SOCKET_ERROR) {
    wprintf(L"Connecting to the server failed. Error: %d\n", WSAGetLastError());
    return INVALID_SOCKET;
  }
  return sock.release();
}

SOCKET CSocketWrapper::ConnectTo(const std::wstring& host, int32_t port) {
  std::wstring ignored;
  return Connect(host, port, ignored);
}

SOCKET CSocketWrapper::ConnectTo(const std::wstring& host, int32_t port, std::wstring& addressText) {
  return Connect(host, port, addressText);
}

// ---------------------------------------------------------------- files

bool CFileWrapper::Exists(const std::wstring& path) const {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FILE* CFileWrapper::Open(const std::wstring& path) const {
  if (FILE* f = _wfopen(path.c_str(), L"r+b")) return f;
  return _wfopen(path.c_str(), L"w+b");
}

uint32_t CFileWrapper::Size(const std::wstring& path) const {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  // part files are never near 4 GiB; a larger one counts as more than any segment
  return data.nFileSizeHigh ? UINT32_MAX : data.nFileSizeLow;
}

// ---------------------------------------------------------------- context

CHttpGet::CHttpGet(IDownloadCallBack* callback_, int32_t tag_, int32_t allowMultiConnection_, int32_t overwrite_)
    : callback(callback_), tag(tag_), allowMultiConnection(allowMultiConnection_), overwrite(overwrite_) {}

CHttpGet::~CHttpGet() = default;

void CHttpGet::SetResult(int32_t code) {
  CSyncLock lock(stateLock);
  resultCode = code;
}

// ---------------------------------------------------------------- HTTP exchanges

bool CHttpGet::SendText(UniqueSocket& socket, const std::wstring& text) {
  std::string bytes = ToAnsi(text);
  if (send(socket.get(), bytes.data(), static_cast<int>(bytes.size()), 0) == SOCKET_ERROR) {
    socket.reset();
    SetResult(DOWNLOAD_E_SEND);
    return false;
  }
  return true;
}

bool CHttpGet::SendLines(UniqueSocket& socket, const std::vector<std::wstring>& lines) {
  for (const std::wstring& line : lines) {
    if (!SendText(socket, line)) return false;
  }
  return true;
}

size_t CHttpGet::ReadHeader(SOCKET socket, char* buffer) {
  // Peek, then take exactly up to the blank line, so that no body byte is
  // consumed with the header (and a header costs two calls, not one per byte).
  size_t stored = 0;
  bool complete = false;
  while (!complete && stored < dlcore::kMaxHeaderBytes) {
    int room = static_cast<int>(dlcore::kMaxHeaderBytes - stored);
    int peeked = recv(socket, buffer + stored, room, MSG_PEEK);
    if (peeked <= 0) break;
    size_t take = static_cast<size_t>(peeked);
    for (size_t i = 0; i < static_cast<size_t>(peeked); ++i) {
      if (dlcore::HeaderBlockComplete(buffer, stored + i + 1)) {
        take = i + 1;
        complete = true;
        break;
      }
    }
    size_t taken = 0;
    while (taken < take) {
      int n = recv(socket, buffer + stored + taken, static_cast<int>(take - taken), 0);
      if (n <= 0) {
        complete = false;
        take = taken;
        break;
      }
      taken += static_cast<size_t>(n);
    }
    stored += taken;
    if (taken == 0) break;
  }
  buffer[stored] = '\0';
  // a block that fills the buffer without its blank line is not a header
  if (!complete && stored == dlcore::kMaxHeaderBytes) return 0;
  return stored;
}

bool CHttpGet::ReadHeaderText(SOCKET socket, std::wstring& header) {
  auto buffer = std::make_unique<char[]>(dlcore::kMaxHeaderBytes + 1);
  size_t n = ReadHeader(socket, buffer.get());
  if (n == 0) {
    SetResult(DOWNLOAD_E_NO_HEADER);
    return false;
  }
  header = FromAnsi(buffer.get(), n);
  return true;
}

bool CHttpGet::CheckRedirect(UniqueSocket& socket, const std::wstring& host, const std::wstring& path,
                             std::wstring& location) {
  if (!SendText(socket, dlcore::RedirectCheckRequest(host, path))) return false;
  std::wstring header;
  if (!ReadHeaderText(socket.get(), header)) return false;
  if (dlcore::StatusContains(header, L"404") || dlcore::StatusContains(header, L"403")) {
    SetResult(DOWNLOAD_E_NOT_FOUND);
    return false;
  }
  if (dlcore::StatusContains(header, L"301") || dlcore::StatusContains(header, L"302")) {
    location = dlcore::ParseLocation(header);
    if (location.empty()) {
      SetResult(DOWNLOAD_E_NO_LOCATION);
      return false;
    }
    return true;
  }
  return false;
}

namespace {

// Maps the evaluation of a transfer answer to the request's outcome.
bool AcceptTransfer(CHttpGet& context, TransferAnswer answer) {
  switch (answer) {
    case TransferAnswer::kAccept:
      return true;
    case TransferAnswer::kRefused:
      context.SetResult(DOWNLOAD_E_NOT_FOUND);
      return false;
    case TransferAnswer::kUnexpected:
      context.SetResult(DOWNLOAD_E_UNEXPECTED_STATUS);
      return false;
  }
  return false;
}

}  // namespace

bool CHttpGet::RequestSegment(UniqueSocket& socket, const std::wstring& host, const std::wstring& path,
                              uint32_t firstByte, uint32_t endValue) {
  if (!SendLines(socket, dlcore::SegmentRequestLines(host, path, static_cast<int32_t>(firstByte),
                                                     static_cast<int32_t>(endValue)))) {
    return false;
  }
  std::wstring header;
  if (!ReadHeaderText(socket.get(), header)) return false;
  return AcceptTransfer(*this, dlcore::EvaluateSegmentAnswer(header, firstByte, totalSize));
}

bool CHttpGet::RequestWhole(UniqueSocket& socket, const std::wstring& host, const std::wstring& path) {
  if (!SendLines(socket, dlcore::PlainRequestLines(host, path))) return false;
  std::wstring header;
  if (!ReadHeaderText(socket.get(), header)) return false;
  return AcceptTransfer(*this, dlcore::EvaluateWholeAnswer(header, totalSize));
}

// ---------------------------------------------------------------- redirect check and size probe

bool CHttpGet::ResolveRedirect(const std::wstring& url, std::wstring& location) {
  dlcore::ParsedUrl parsed = dlcore::ParseUrl(url);
  UniqueSocket socket(sockets.ConnectTo(parsed.host, parsed.port));
  if (!socket) {
    SetResult(DOWNLOAD_E_CONNECT);
    return false;
  }
  return CheckRedirect(socket, parsed.host, parsed.path, location);
}

bool CHttpGet::ProbeSize(const std::wstring& host, const std::wstring& path, int32_t port) {
  std::wstring header;
  {
    UniqueSocket socket(sockets.ConnectTo(host, port));
    if (!socket) {
      SetResult(DOWNLOAD_E_CONNECT);
      return false;
    }
    if (!SendLines(socket, dlcore::RangeProbeLines(host, path))) return false;
    if (!ReadHeaderText(socket.get(), header)) return false;
  }
  if (dlcore::StatusContains(header, L"404") || dlcore::StatusContains(header, L"403")) {
    SetResult(DOWNLOAD_E_NOT_FOUND);
    return false;
  }
  uint32_t size = dlcore::ParseContentSize(header);
  if (size == 0) return RequestSize(host, path, port);
  if (dlcore::StatusContains(header, L"206")) rangesSupported = 1;
  totalSize = size;
  return true;
}

bool CHttpGet::RequestSize(const std::wstring& host, const std::wstring& path, int32_t port) {
  UniqueSocket socket(sockets.ConnectTo(host, port));
  if (!socket) {
    SetResult(DOWNLOAD_E_CONNECT);
    return false;
  }
  if (!SendLines(socket, dlcore::PlainRequestLines(host, path))) return false;
  std::wstring header;
  if (!ReadHeaderText(socket.get(), header)) return false;
  socket.reset();
  if (dlcore::StatusContains(header, L"404") || dlcore::StatusContains(header, L"403")) {
    SetResult(DOWNLOAD_E_NOT_FOUND);
    return false;
  }
  uint32_t size = dlcore::ParseContentSize(header);
  if (size == 0) return false;
  totalSize = size;
  return true;
}

// ---------------------------------------------------------------- segmented transfer

namespace {

unsigned __stdcall SegmentThread(void* parameter) {
  auto* task = static_cast<SegmentTask*>(parameter);
  task->owner->SegmentWorker(*task);
  return 0;
}

}  // namespace

void CHttpGet::ReportProgress(uint64_t downloaded, uint32_t blockLength) {
  if (!callback || totalSize == 0) return;
  int32_t percent = dlcore::ProgressPercent(downloaded, totalSize);
  rateMeter.Add(blockLength);
  uint32_t rateKiB = rateMeter.Rate() / 1024;
  int32_t reply = callback->OnDownloadProgress(static_cast<uint32_t>(totalSize), percent, rateKiB, tag);
  if (reply == 2) stopMode = 2;
  if (reply == 1 || reply == 2) {
    SetEvent(stopEvent.get());
    // the workers test this flag on every pass; it costs no system call
    stopRequested.store(true, std::memory_order_release);
  }
}

namespace {

// One block straight to the file: the stream holds nothing back, so the block
// is on its way to the disk as soon as the call returns (as a flush would do).
bool WriteBlock(FILE* part, const char* data, uint32_t length) {
  auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(part)));
  DWORD written = 0;
  return WriteFile(handle, data, length, &written, nullptr) && written == length;
}

}  // namespace

CHttpGet::Receive CHttpGet::ReceiveBody(SOCKET socket, FILE* part, const SegmentTask& task, uint32_t existing,
                                        uint32_t& received, char* buffer) {
  uint32_t needed = task.end - task.start - existing;
  // The range asked for ends with the byte at `end`; a whole-file answer ends
  // at the total. Nothing past what was asked for goes into the part file.
  uint64_t asked = task.rangesSupported ? uint64_t{task.end} - (task.start + existing) + 1 : totalSize;
  asked = std::min<uint64_t>(asked, totalSize - (task.start + existing));
  // a deep receive buffer lets each call take a large block: fewer calls per byte
  int receiveBuffer = kSocketReceiveBuffer;
  setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
  // The body is read without blocking, so that a pass that finds no data
  // waits on the socket for at most one poll interval: a stop is seen within
  // that interval and the transfer itself is never paced.
  u_long nonBlocking = 1;
  if (ioctlsocket(socket, FIONBIO, &nonBlocking) == SOCKET_ERROR) return Receive::kLost;
  ULONGLONG lastData = GetTickCount64();
  for (;;) {
    if (stopRequested.load(std::memory_order_acquire)) return Receive::kStopped;
    if (received >= needed) return Receive::kComplete;
    int n = recv(socket, buffer, static_cast<int>(kReceiveBlock), 0);
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      // a stalled server fails the connection like the socket's receive time-out
      if (GetTickCount64() - lastData >= CSocketWrapper::kTimeoutMs) return Receive::kLost;
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(socket, &readable);
      timeval poll = {0, static_cast<long>(kStopPollMs * 1000)};
      if (select(0, &readable, nullptr, nullptr, &poll) == SOCKET_ERROR) return Receive::kLost;
      continue;
    }
    if (n <= 0) return Receive::kLost;
    lastData = GetTickCount64();
    uint64_t room = asked - std::min<uint64_t>(asked, received);
    auto keep = static_cast<uint32_t>(std::min<uint64_t>(static_cast<uint64_t>(n), room));
    if (keep > 0 && !WriteBlock(part, buffer, keep)) return Receive::kLost;
    received += static_cast<uint32_t>(n);
    CSyncLock lock(progressLock);
    downloadedBytes += static_cast<uint32_t>(n);
    ReportProgress(downloadedBytes, static_cast<uint32_t>(n));
  }
}

void CHttpGet::SegmentWorker(SegmentTask& task) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReceiveBlock]);
  if (!buffer) {
    SetResult(DOWNLOAD_E_ALLOC);
    return;
  }
  const uint32_t segmentLength = task.end - task.start;
  for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
    std::wstring addressText;
    UniqueSocket socket(sockets.ConnectTo(task.host, task.port, addressText));
    if (callback && tag != 0) callback->OnServerAddress(addressText.c_str(), tag);
    if (!socket) {
      SetResult(DOWNLOAD_E_CONNECT);
      Sleep(kRetryPauseMs);
      continue;
    }
    uint32_t existing = files.Size(task.partFile);
    if (!task.rangesSupported) {
      // without ranges the single part is always begun again
      DeleteFileW(task.partFile.c_str());
      existing = 0;
    }
    {
      CSyncLock lock(progressLock);
      downloadedBytes += existing;
    }
    if (existing >= segmentLength) {
      ++completedCount;
      return;
    }
    auto stepBack = [&](uint32_t bytes) {
      CSyncLock lock(progressLock);
      downloadedBytes -= bytes;
    };
    UniqueStdioFile part(files.Open(task.partFile));
    if (!part) {
      socket.reset();
      SetResult(DOWNLOAD_E_OPEN_PART);
      stepBack(existing);
      Sleep(kRetryPauseMs);
      continue;
    }
    bool answered = task.rangesSupported ? RequestSegment(socket, task.host, task.path, task.start + existing, task.end)
                                         : RequestWhole(socket, task.host, task.path);
    if (!answered) {
      socket.reset();
      part.reset();
      if (!task.rangesSupported) return;
      stepBack(existing);
      Sleep(kRetryPauseMs);
      continue;
    }
    uint32_t received = 0;
    Receive outcome = Receive::kLost;
    if (fseek(part.get(), static_cast<long>(existing), SEEK_SET) == 0) {
      outcome = ReceiveBody(socket.get(), part.get(), task, existing, received, buffer.get());
    }
    socket.reset();
    part.reset();
    switch (outcome) {
      case Receive::kComplete:
        ++completedCount;
        return;
      case Receive::kStopped:
        SetResult(DOWNLOAD_STOPPED);
        if (stopMode == 2) DeleteFileW(task.partFile.c_str());
        return;
      case Receive::kLost:
        SetResult(DOWNLOAD_E_CONNECTION_LOST);
        if (!task.rangesSupported) return;
        stepBack(received + existing);
        Sleep(kRetryPauseMs);
        break;
    }
  }
}

bool CHttpGet::AppendPart(const SegmentTask& task, FILE* target) {
  UniqueStdioFile part(_wfopen(task.partFile.c_str(), L"rb"));
  if (!part) return false;
  if (fseek(target, static_cast<long>(task.start), SEEK_SET) != 0) return false;
  constexpr size_t kCopyBlock = 1 << 20;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBlock]);
  if (!buffer) return false;
  uint32_t remaining = task.end - task.start;
  while (remaining > 0) {
    size_t n = fread(buffer.get(), 1, std::min<size_t>(kCopyBlock, remaining), part.get());
    if (n == 0) break;
    if (fwrite(buffer.get(), 1, n, target) != n) return false;
    remaining -= static_cast<uint32_t>(n);
  }
  // a part shorter than its segment would leave a hole of zeros in the target
  return remaining == 0 && !ferror(part.get());
}

namespace {

bool Truncate(FILE* file, uint64_t length) {
  if (fflush(file) != 0) return false;
  auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

}  // namespace

int32_t CHttpGet::JoinParts(const std::wstring& localPath) {
  // The first part already holds the file's first bytes: it becomes the
  // target by renaming, and only the other parts are copied behind it.
  const SegmentTask& first = segments.front();
  UniqueStdioFile target;
  bool renamed = MoveFileExW(first.partFile.c_str(), localPath.c_str(), 0);
  if (renamed) {
    target.reset(_wfopen(localPath.c_str(), L"r+b"));
    if (!target) {
      MoveFileExW(localPath.c_str(), first.partFile.c_str(), 0);
      return DOWNLOAD_E_CREATE_TARGET;
    }
  } else {
    target.reset(_wfopen(localPath.c_str(), L"wb"));
    if (!target) return DOWNLOAD_E_CREATE_TARGET;
  }
  // on failure the parts stay for a resume, and no partly joined target is left
  auto undo = [&](int32_t code) {
    if (renamed && Truncate(target.get(), first.end)) {
      target.reset();
      MoveFileExW(localPath.c_str(), first.partFile.c_str(), 0);
    }
    target.reset();
    DeleteFileW(localPath.c_str());
    return code;
  };
  for (size_t i = renamed ? 1 : 0; i < segments.size(); ++i) {
    if (!AppendPart(segments[i], target.get())) return undo(DOWNLOAD_E_READ_PART);
  }
  // a part may hold one byte more than its segment
  if (!Truncate(target.get(), totalSize)) return undo(DOWNLOAD_E_CREATE_TARGET);
  return 0;
}

bool CHttpGet::RunSegments(const std::wstring& host, int32_t port, const std::wstring& path,
                           const std::wstring& localPath, const std::wstring& expectedDigest) {
  if (files.Exists(localPath)) {
    if (!overwrite) {
      resultCode = DOWNLOAD_EXISTS;
      return true;
    }
    DeleteFileW(localPath.c_str());
  }
  stopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stopEvent) {
    resultCode = DOWNLOAD_E_EVENT;
    return false;
  }
  if (totalSize == 0 || totalSize >= dlcore::kSizeLimit) return false;
  int count = dlcore::SegmentCount(totalSize, allowMultiConnection != 0, rangesSupported != 0);
  std::vector<dlcore::SegmentSpan> spans = dlcore::PlanSegments(totalSize, count);
  std::vector<HANDLE> threads;
  try {
    segments.resize(static_cast<size_t>(count));
    threads.reserve(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    resultCode = DOWNLOAD_E_ALLOC;
    return false;
  }
  for (int i = 0; i < count; ++i) {
    SegmentTask& task = segments[static_cast<size_t>(i)];
    task.host = host;
    task.port = port;
    task.path = path;
    task.rangesSupported = rangesSupported;
    task.owner = this;
    task.partFile = dlcore::PartFileName(localPath, i, rangesSupported != 0);
    task.start = spans[static_cast<size_t>(i)].start;
    task.end = spans[static_cast<size_t>(i)].end;
    auto handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, SegmentThread, &task, CREATE_SUSPENDED, nullptr));
    if (!handle) {
      resultCode = DOWNLOAD_E_THREAD;
      // the threads made so far never ran: end them before their tasks go away
      for (HANDLE made : threads) {
        TerminateThread(made, 0);
        CloseHandle(made);
      }
      segments.clear();
      return false;
    }
    threads.push_back(handle);
  }
  for (HANDLE thread : threads) ResumeThread(thread);
  WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);

  struct ClearSegments {
    std::vector<SegmentTask>& table;
    ~ClearSegments() { table.clear(); }
  } clearSegments{segments};

  if (completedCount.load() != count) return false;

  if (int32_t failure = JoinParts(localPath)) {
    resultCode = failure;
    return false;
  }
  for (const SegmentTask& task : segments) DeleteFileW(task.partFile.c_str());

  if (!expectedDigest.empty() && !dlcore::DigestMatches(FileMd5Hex(localPath), expectedDigest)) {
    DeleteFileW(localPath.c_str());
    resultCode = DOWNLOAD_E_DIGEST;
    return false;
  }
  resultCode = DOWNLOAD_OK;
  return true;
}
