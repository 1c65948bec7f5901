// Pure logic of the download engine: URL parsing, evaluation of a response
// header block, the request texts, the segment plan, the rate meter's
// arithmetic, the expected digest in a URL and the local-path rule.
// No OS calls; built natively too, so untrusted bytes meet the sanitizers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dlcore {

// A response header block holds at most this many bytes (its buffer one more,
// for the terminating zero).
inline constexpr size_t kMaxHeaderBytes = 10239;
// Offsets and lengths on the wire are signed 32-bit: sizes from here up are
// not a size.
inline constexpr uint64_t kSizeLimit = 0x80000000ull;
inline constexpr int kMaxSegments = 4;
inline constexpr int kMaxRedirectChecks = 5;

struct ParsedUrl {
  std::wstring host;
  int32_t port = 80;
  std::wstring path;      // request target, query included, unescaped
  std::wstring fileName;  // text after the last "/", cut before its last "?"
};

bool IsWideSpace(wchar_t c);
std::wstring Trim(const std::wstring& text);

// Leading white space, an optional sign and decimal digits, like the C
// runtime's conversion; no digits give 0 and values beyond 32 bits saturate.
int32_t LeadingInt(const std::wstring& text);

ParsedUrl ParseUrl(const std::wstring& url);

// A file name that can stand in a folder as it is: no separators, drive
// colons, wildcards or control characters, and not only dots. Anything else
// would put the download somewhere the caller did not name.
bool IsSafeFileName(const std::wstring& name);

// --- response header evaluation (the block widened from the wire) ---

// Whether `code` occurs in the text before the first CR LF.
bool StatusContains(const std::wstring& header, const std::wstring& code);

// The three-digit status code of an "HTTP/x.y NNN" status line, or -1.
int StatusCode(const std::wstring& header);

// The file size named by Content-Range (its total, after the "/") or else
// Content-Length. 0 when none is named, when it is "*", negative, or does not
// fit below kSizeLimit.
uint32_t ParseContentSize(const std::wstring& header);

// "location:" first, then "Location:"; the value trimmed, empty when missing.
std::wstring ParseLocation(const std::wstring& header);

struct ContentRange {
  uint64_t first = 0;
  std::optional<uint64_t> total;  // empty for "*"
};
// The "bytes FIRST-LAST/TOTAL" value of Content-Range, when well formed.
std::optional<ContentRange> ParseContentRange(const std::wstring& header);

// Outcome of the header that answers a transfer request.
enum class TransferAnswer { kAccept, kRefused /* 404 or 403 */, kUnexpected };

// A segment request must be answered by 206 for exactly the asked first byte
// (and the known total); a whole-file request by 200 (of the known length).
TransferAnswer EvaluateSegmentAnswer(const std::wstring& header, uint32_t firstByte, uint64_t totalSize);
TransferAnswer EvaluateWholeAnswer(const std::wstring& header, uint64_t totalSize);

// Whether the stored bytes end with the blank line that closes a header block.
bool HeaderBlockComplete(const char* data, size_t length);

// --- request texts ---

extern const wchar_t kBrowserUserAgentLine[];
std::wstring RedirectCheckRequest(const std::wstring& host, const std::wstring& path);
std::vector<std::wstring> RangeProbeLines(const std::wstring& host, const std::wstring& path);
std::vector<std::wstring> PlainRequestLines(const std::wstring& host, const std::wstring& path);
std::vector<std::wstring> SegmentRequestLines(const std::wstring& host, const std::wstring& path, int32_t firstByte,
                                              int32_t endValue);

// --- segment plan ---

struct SegmentSpan {
  uint32_t start = 0;
  uint32_t end = 0;  // one past the last byte
};

int SegmentCount(uint64_t totalSize, bool allowMultiConnection, bool rangesSupported);
std::vector<SegmentSpan> PlanSegments(uint64_t totalSize, int count);
// "<target>_<i>" with ranges, "<target>_tmp" without.
std::wstring PartFileName(const std::wstring& target, int index, bool rangesSupported);

// Whole percent of `downloaded` (its low 32 bits, capped at the total).
int32_t ProgressPercent(uint64_t downloaded, uint64_t totalSize);

// The rate meter's arithmetic over a caller-given millisecond tick counter:
// the rate is the byte count of the last window of at least four seconds
// divided by its whole seconds.
class RateWindow {
 public:
  static constexpr uint32_t kWindowMs = 4000;
  void Add(uint64_t bytes, uint32_t nowMs);
  uint32_t Rate(uint32_t nowMs);  // bytes per second

 private:
  uint64_t totalBytes_ = 0;
  uint32_t windowStart_ = 0;
  uint64_t windowBytes_ = 0;  // wide: a fast link moves more than 4 GiB in a window
  uint32_t rate_ = 0;
};

// --- request entry rules ---

// The text after the first "md5=" of the URL, empty when there is none.
std::wstring ExpectedDigest(const std::wstring& url);

// folder + fileName; with appendUrlExtension the folder names the target
// without its extension and only the file name's extension is added.
std::wstring LocalPath(const std::wstring& folder, const std::wstring& fileName, bool appendUrlExtension);

// The text before the last backslash, when there is one.
std::optional<std::wstring> ParentFolder(const std::wstring& localPath);

// Digest texts compare without regard to letter case; an empty text never matches.
bool DigestMatches(const std::wstring& computed, const std::wstring& expected);

}  // namespace dlcore
