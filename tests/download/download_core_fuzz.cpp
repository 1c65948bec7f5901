// Fuzz target for the download engine's header and URL code. Built with
// libFuzzer when QUORVI_LIBFUZZER is set; otherwise a plain program that
// replays the seed corpus and a run of generated inputs made of header
// fragments, so every test run exercises it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "download/download_core.h"
#include "tests/fuzz_replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // the engine widens header bytes through the code page; one unit per byte is enough here
  std::wstring text(data, data + size);
  if (dlcore::ParseContentSize(text) >= dlcore::kSizeLimit) std::abort();
  std::wstring location = dlcore::ParseLocation(text);
  if (!location.empty() && (dlcore::IsWideSpace(location.front()) || dlcore::IsWideSpace(location.back())))
    std::abort();
  if (location.find(L"\r\n") != std::wstring::npos) std::abort();
  int status = dlcore::StatusCode(text);
  if (status < -1 || status > 999) std::abort();
  if (auto range = dlcore::ParseContentRange(text)) {
    if (range->total && (range->first >= *range->total || *range->total >= dlcore::kSizeLimit)) std::abort();
  }
  (void)dlcore::EvaluateSegmentAnswer(text, 100, 1000);
  (void)dlcore::EvaluateWholeAnswer(text, 1000);
  (void)dlcore::HeaderBlockComplete(reinterpret_cast<const char*>(data), size);

  dlcore::ParsedUrl url = dlcore::ParseUrl(text);
  std::wstring trimmed = dlcore::Trim(text);
  // the path is the end of the trimmed text, the file name never holds a "/"
  if (url.path.size() > trimmed.size() || trimmed.compare(trimmed.size() - url.path.size(), url.path.size(), url.path))
    std::abort();
  if (url.fileName.find(L'/') != std::wstring::npos) std::abort();
  if (dlcore::IsSafeFileName(url.fileName) &&
      (url.fileName.find(L'\\') != std::wstring::npos || url.fileName == L".." || url.fileName == L"."))
    std::abort();
  return 0;
}

#ifndef QUORVI_LIBFUZZER
int main(int argc, char** argv) {
  size_t runs = ReplayCorpus(argc > 1 ? argv[1] : nullptr);
  std::mt19937 random(4242);
  const char* fragments[] = {"HTTP/1.1 ",
                             "206",
                             "200 OK",
                             "\r\n",
                             "Content-Range:",
                             " bytes ",
                             "-",
                             "/",
                             "*",
                             "Content-Length:",
                             "Location:",
                             "location:",
                             " ",
                             "\t",
                             "2147483647",
                             "2147483648",
                             "99999999999999999999",
                             "0",
                             "1",
                             "http://",
                             "h:",
                             "81",
                             "?",
                             "md5=",
                             "\\..\\",
                             ".."};
  for (int i = 0; i < 20000; ++i) {
    std::string input;
    for (int n = static_cast<int>(random() % 12); n > 0; --n) {
      if (random() % 5) {
        input += fragments[random() % (sizeof fragments / sizeof fragments[0])];
      } else {
        input += static_cast<char>(random() % 256);
      }
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    ++runs;
  }
  return runs > 0 ? 0 : 1;
}
#endif
