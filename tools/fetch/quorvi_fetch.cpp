// quorvi-fetch URL FOLDER [--no-multi] [--overwrite] [--append-ext] [--tag N]
//              [--stop-at PERCENT[:delete]]
// Runs one DownloadFile request and prints every callback as one UTF-8 line
// ("start PATH", "server ADDRESS", "progress PERCENT RATE_KIB"), then
// "result CODE". The exit code is the result code.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "download/download.h"
#include "tools/tool_output.h"

namespace {

class PrintingCallBack : public IDownloadCallBack {
 public:
  PrintingCallBack(int32_t stopAt, int32_t stopReply) : stopAt_(stopAt), stopReply_(stopReply) {}

  int32_t OnDownloadProgress(uint32_t, int32_t percent, uint32_t rateKiB, int32_t) override {
    PrintLine(L"progress " + std::to_wstring(percent) + L" " + std::to_wstring(rateKiB));
    return stopAt_ >= 0 && percent >= stopAt_ ? stopReply_ : 0;
  }
  void OnDownloadStart(const wchar_t* localPath, int32_t) override { PrintLine(std::wstring(L"start ") + localPath); }
  void OnServerAddress(const wchar_t* address, int32_t) override { PrintLine(std::wstring(L"server ") + address); }

 private:
  int32_t stopAt_;
  int32_t stopReply_;
};

int Usage() {
  PrintLine(
      L"usage: quorvi-fetch URL FOLDER [--no-multi] [--overwrite] [--append-ext] [--tag N] "
      L"[--stop-at PERCENT[:delete]]");
  return 64;
}

bool ParseNumber(const wchar_t* text, int32_t& value) {
  wchar_t* end = nullptr;
  long parsed = wcstol(text, &end, 10);
  if (end == text || *end != L'\0') return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // the engine's diagnostic lines must interleave with ours in order
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 3) return Usage();
  int32_t multi = 1, overwrite = 0, appendExt = 0, tag = 0, stopAt = -1, stopReply = 1;
  for (int i = 3; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--no-multi") {
      multi = 0;
    } else if (arg == L"--overwrite") {
      overwrite = 1;
    } else if (arg == L"--append-ext") {
      appendExt = 1;
    } else if (arg == L"--tag" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], tag)) return Usage();
    } else if (arg == L"--stop-at" && i + 1 < argc) {
      std::wstring value = argv[++i];
      if (size_t colon = value.find(L':'); colon != std::wstring::npos) {
        if (value.substr(colon + 1) != L"delete") return Usage();
        stopReply = 2;
        value.resize(colon);
      }
      if (!ParseNumber(value.c_str(), stopAt)) return Usage();
    } else {
      return Usage();
    }
  }
  PrintingCallBack callback(stopAt, stopReply);
  int32_t result = DownloadFile(argv[1], argv[2], &callback, tag, multi, overwrite, appendExt);
  PrintLine(L"result " + std::to_wstring(result));
  return result;
}
