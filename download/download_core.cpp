#include "download/download_core.h"

#include <algorithm>
#include <climits>

namespace dlcore {

namespace {

// Text after `name` up to the next CR LF (to the end when none follows).
std::wstring FieldValue(const std::wstring& header, size_t nameEnd) {
  size_t lineEnd = header.find(L"\r\n", nameEnd);
  return header.substr(nameEnd, lineEnd == std::wstring::npos ? std::wstring::npos : lineEnd - nameEnd);
}

std::wstring StatusLine(const std::wstring& header) {
  size_t end = header.find(L"\r\n");
  return end == std::wstring::npos ? std::wstring() : header.substr(0, end);
}

bool IsDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// Digits from `pos` as an unsigned number; nothing when there are none or
// they exceed what a file offset on the wire can be.
std::optional<uint64_t> Digits(const std::wstring& text, size_t& pos) {
  size_t begin = pos;
  uint64_t value = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    value = value * 10 + static_cast<uint64_t>(text[pos] - L'0');
    if (value >= kSizeLimit) return std::nullopt;
    ++pos;
  }
  if (pos == begin) return std::nullopt;
  return value;
}

// A size at the start of a field value: 0 unless it is a positive number
// below kSizeLimit.
uint32_t LeadingSize(const std::wstring& text) {
  size_t pos = 0;
  while (pos < text.size() && IsWideSpace(text[pos])) ++pos;
  if (pos < text.size() && text[pos] == L'-') return 0;
  if (pos < text.size() && text[pos] == L'+') ++pos;
  auto value = Digits(text, pos);
  // more digits than fit are an overflow, not a smaller number
  if (!value || (pos < text.size() && IsDigit(text[pos]))) return 0;
  return static_cast<uint32_t>(*value);
}

}  // namespace

bool IsWideSpace(wchar_t c) {
  switch (c) {
    case L' ':
    case L'\t':
    case L'\n':
    case L'\v':
    case L'\f':
    case L'\r':
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

std::wstring Trim(const std::wstring& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsWideSpace(text[begin])) ++begin;
  while (end > begin && IsWideSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

int32_t LeadingInt(const std::wstring& text) {
  size_t pos = 0;
  while (pos < text.size() && IsWideSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == L'-' || text[pos] == L'+')) negative = text[pos++] == L'-';
  int64_t value = 0;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    value = std::min<int64_t>(value * 10 + (text[pos] - L'0'), int64_t{INT32_MAX} + 1);
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
}

ParsedUrl ParseUrl(const std::wstring& url) {
  ParsedUrl out;
  std::wstring trimmed = Trim(url);
  std::wstring rest = trimmed;
  static const std::wstring kScheme = L"http://";
  if (size_t at = rest.find(kScheme); at != std::wstring::npos) rest.erase(0, at + kScheme.size());

  size_t slash = rest.find(L'/');
  std::wstring authority = slash == std::wstring::npos ? std::wstring() : rest.substr(0, slash);
  if (size_t colon = authority.rfind(L':'); colon != std::wstring::npos) {
    out.host = authority.substr(0, colon);
    out.port = LeadingInt(authority.substr(colon + 1));
  } else {
    out.host = authority;
    out.port = 80;
  }
  out.path = slash == std::wstring::npos ? rest : rest.substr(slash);

  size_t lastSlash = trimmed.rfind(L'/');
  out.fileName = lastSlash == std::wstring::npos ? trimmed : trimmed.substr(lastSlash + 1);
  if (size_t question = out.fileName.rfind(L'?'); question != std::wstring::npos) out.fileName.resize(question);
  return out;
}

bool IsSafeFileName(const std::wstring& name) {
  if (name.empty()) return false;
  static const std::wstring kForbidden = L"\\/:*?\"<>|";
  bool onlyDots = true;
  for (wchar_t c : name) {
    if (c < 32 || kForbidden.find(c) != std::wstring::npos) return false;
    if (c != L'.') onlyDots = false;
  }
  return !onlyDots;
}

bool StatusContains(const std::wstring& header, const std::wstring& code) {
  size_t end = header.find(L"\r\n");
  if (end == std::wstring::npos) return false;
  return header.substr(0, end).find(code) != std::wstring::npos;
}

int StatusCode(const std::wstring& header) {
  std::wstring line = StatusLine(header);
  if (line.compare(0, 5, L"HTTP/") != 0) return -1;
  size_t space = line.find(L' ');
  if (space == std::wstring::npos) return -1;
  size_t pos = space;
  while (pos < line.size() && line[pos] == L' ') ++pos;
  if (pos + 3 > line.size() || !IsDigit(line[pos]) || !IsDigit(line[pos + 1]) || !IsDigit(line[pos + 2])) return -1;
  if (pos + 3 < line.size() && line[pos + 3] != L' ') return -1;
  return (line[pos] - L'0') * 100 + (line[pos + 1] - L'0') * 10 + (line[pos + 2] - L'0');
}

uint32_t ParseContentSize(const std::wstring& header) {
  static const std::wstring kRange = L"Content-Range:", kLength = L"Content-Length:";
  std::wstring text;
  if (size_t at = header.find(kRange); at != std::wstring::npos) {
    text = FieldValue(header, at + kRange.size());
    if (size_t slash = text.find(L'/'); slash != std::wstring::npos) text.erase(0, slash + 1);
  } else if (size_t at = header.find(kLength); at != std::wstring::npos) {
    text = FieldValue(header, at + kLength.size());
  } else {
    return 0;
  }
  return LeadingSize(text);
}

std::wstring ParseLocation(const std::wstring& header) {
  size_t nameEnd = std::wstring::npos;
  for (const wchar_t* name : {L"location:", L"Location:"}) {
    size_t at = header.find(name);
    if (at != std::wstring::npos) {
      nameEnd = at + std::char_traits<wchar_t>::length(name);
      break;
    }
  }
  if (nameEnd == std::wstring::npos) return {};
  size_t lineEnd = header.find(L"\r\n", nameEnd);
  if (lineEnd == std::wstring::npos) return {};
  return Trim(header.substr(nameEnd, lineEnd - nameEnd));
}

std::optional<ContentRange> ParseContentRange(const std::wstring& header) {
  static const std::wstring kRange = L"Content-Range:";
  size_t at = header.find(kRange);
  if (at == std::wstring::npos) return std::nullopt;
  std::wstring text = FieldValue(header, at + kRange.size());
  size_t pos = 0;
  while (pos < text.size() && text[pos] == L' ') ++pos;
  if (text.compare(pos, 5, L"bytes") != 0) return std::nullopt;
  pos += 5;
  while (pos < text.size() && text[pos] == L' ') ++pos;
  ContentRange range;
  auto first = Digits(text, pos);
  if (!first || pos >= text.size() || text[pos++] != L'-') return std::nullopt;
  auto last = Digits(text, pos);
  if (!last || *last < *first || pos >= text.size() || text[pos++] != L'/') return std::nullopt;
  range.first = *first;
  if (pos < text.size() && text[pos] == L'*') {
    ++pos;
  } else {
    auto total = Digits(text, pos);
    if (!total || *last >= *total) return std::nullopt;
    range.total = total;
  }
  while (pos < text.size() && text[pos] == L' ') ++pos;
  if (pos != text.size()) return std::nullopt;
  return range;
}

TransferAnswer EvaluateSegmentAnswer(const std::wstring& header, uint32_t firstByte, uint64_t totalSize) {
  if (StatusContains(header, L"404") || StatusContains(header, L"403")) return TransferAnswer::kRefused;
  if (StatusCode(header) != 206) return TransferAnswer::kUnexpected;
  auto range = ParseContentRange(header);
  if (!range || range->first != firstByte) return TransferAnswer::kUnexpected;
  // a different total means the file changed since it was probed
  if (range->total && *range->total != totalSize) return TransferAnswer::kUnexpected;
  return TransferAnswer::kAccept;
}

TransferAnswer EvaluateWholeAnswer(const std::wstring& header, uint64_t totalSize) {
  if (StatusContains(header, L"404") || StatusContains(header, L"403")) return TransferAnswer::kRefused;
  if (StatusCode(header) != 200) return TransferAnswer::kUnexpected;
  if (header.find(L"Content-Length:") != std::wstring::npos && ParseContentSize(header) != totalSize) {
    return TransferAnswer::kUnexpected;
  }
  return TransferAnswer::kAccept;
}

bool HeaderBlockComplete(const char* data, size_t length) {
  return length >= 4 && data[length - 4] == '\r' && data[length - 3] == '\n' && data[length - 2] == '\r' &&
         data[length - 1] == '\n';
}

const wchar_t kBrowserUserAgentLine[] =
    L"User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36\t\t\t\t  (KHTML, like "
    L"Gecko)Chrome/32.0.1700.107 Safari/537.36\r\n";

std::wstring RedirectCheckRequest(const std::wstring& host, const std::wstring& path) {
  return L"GET " + path + L" HTTP/1.1\r\n" + L"Host: " + host + L"\r\n" + L"Accept: */*\r\n" + kBrowserUserAgentLine +
         L"\r\n";
}

std::vector<std::wstring> PlainRequestLines(const std::wstring& host, const std::wstring& path) {
  return {L"GET " + path + L" HTTP/1.1\r\n", L"Host: " + host + L"\r\n", L"Accept: */*\r\n", L"User-Agent: Mozilla\r\n",
          L"\r\n"};
}

std::vector<std::wstring> RangeProbeLines(const std::wstring& host, const std::wstring& path) {
  std::vector<std::wstring> lines = PlainRequestLines(host, path);
  lines.insert(lines.end() - 1, L"Range: bytes=0-1\r\n");
  return lines;
}

std::vector<std::wstring> SegmentRequestLines(const std::wstring& host, const std::wstring& path, int32_t firstByte,
                                              int32_t endValue) {
  std::vector<std::wstring> lines = PlainRequestLines(host, path);
  lines.insert(lines.end() - 1,
               L"Range: bytes=" + std::to_wstring(firstByte) + L"-" + std::to_wstring(endValue) + L"\r\n");
  return lines;
}

int SegmentCount(uint64_t totalSize, bool allowMultiConnection, bool rangesSupported) {
  if (!allowMultiConnection || !rangesSupported) return 1;
  if (totalSize <= 5242880) return 1;
  if (totalSize <= 52428800) return 2;
  if (totalSize <= 104857600) return 3;
  return 4;
}

std::vector<SegmentSpan> PlanSegments(uint64_t totalSize, int count) {
  std::vector<SegmentSpan> spans;
  if (count < 1 || totalSize >= kSizeLimit) return spans;
  uint32_t share = static_cast<uint32_t>(totalSize / static_cast<uint64_t>(count));
  for (int i = 0; i < count; ++i) {
    SegmentSpan span;
    span.start = static_cast<uint32_t>(i) * share;
    span.end = i == count - 1 ? static_cast<uint32_t>(totalSize) : span.start + share;
    spans.push_back(span);
  }
  return spans;
}

std::wstring PartFileName(const std::wstring& target, int index, bool rangesSupported) {
  return rangesSupported ? target + L"_" + std::to_wstring(index) : target + L"_tmp";
}

int32_t ProgressPercent(uint64_t downloaded, uint64_t totalSize) {
  if (totalSize == 0) return 0;
  uint64_t done = std::min<uint64_t>(downloaded & 0xFFFFFFFFull, totalSize);
  return static_cast<int32_t>(static_cast<double>(done) * 100.0 / static_cast<double>(totalSize));
}

void RateWindow::Add(uint64_t bytes, uint32_t nowMs) {
  if (totalBytes_ == 0) windowStart_ = nowMs;
  uint32_t elapsed = nowMs - windowStart_;  // the tick counter wraps; differences stay right
  totalBytes_ += bytes;
  windowBytes_ += bytes;
  if (elapsed >= kWindowMs) {
    uint64_t perSecond = windowBytes_ / (elapsed / 1000);
    rate_ = static_cast<uint32_t>(std::min<uint64_t>(perSecond, UINT32_MAX));
    windowBytes_ = 0;
    windowStart_ = nowMs;
  }
}

uint32_t RateWindow::Rate(uint32_t nowMs) {
  Add(0, nowMs);
  return rate_;
}

std::wstring ExpectedDigest(const std::wstring& url) {
  size_t at = url.find(L"md5=");
  return at == std::wstring::npos ? std::wstring() : url.substr(at + 4);
}

std::wstring LocalPath(const std::wstring& folder, const std::wstring& fileName, bool appendUrlExtension) {
  if (!appendUrlExtension) return folder + fileName;
  size_t dot = fileName.rfind(L'.');
  return dot == std::wstring::npos ? folder : folder + fileName.substr(dot);
}

std::optional<std::wstring> ParentFolder(const std::wstring& localPath) {
  size_t slash = localPath.rfind(L'\\');
  if (slash == std::wstring::npos) return std::nullopt;
  return localPath.substr(0, slash);
}

bool DigestMatches(const std::wstring& computed, const std::wstring& expected) {
  if (computed.empty() || computed.size() != expected.size()) return false;
  auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
  for (size_t i = 0; i < computed.size(); ++i) {
    if (lower(computed[i]) != lower(expected[i])) return false;
  }
  return true;
}

}  // namespace dlcore
