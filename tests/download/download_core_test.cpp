#include "download/download_core.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dlcore;

struct UrlCase {
  const wchar_t* url;
  const wchar_t* host;
  int32_t port;
  const wchar_t* path;
  const wchar_t* fileName;
};

class ParseUrlTest : public testing::TestWithParam<UrlCase> {};

TEST_P(ParseUrlTest, SplitsIntoHostPortPathAndFileName) {
  const UrlCase& c = GetParam();
  ParsedUrl u = ParseUrl(c.url);
  EXPECT_EQ(u.host, c.host);
  EXPECT_EQ(u.port, c.port);
  EXPECT_EQ(u.path, c.path);
  EXPECT_EQ(u.fileName, c.fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, ParseUrlTest,
    testing::Values(
        UrlCase{L"http://h:81/a/b.zip", L"h", 81, L"/a/b.zip", L"b.zip"},
        UrlCase{L"http://h/dl/get.zip?id=3&md5=0A1B", L"h", 80, L"/dl/get.zip?id=3&md5=0A1B", L"get.zip"},
        UrlCase{L"h/x.zip", L"h", 80, L"/x.zip", L"x.zip"},                // no scheme
        UrlCase{L"http://h", L"", 80, L"h", L"h"},                         // no "/" after the scheme
        UrlCase{L"http://h/", L"h", 80, L"/", L""},                        // no file name
        UrlCase{L"http://h:abc/x.zip", L"h", 0, L"/x.zip", L"x.zip"},      // no digits
        UrlCase{L"http://h: +7x/x.zip", L"h", 7, L"/x.zip", L"x.zip"},     // blank and sign accepted
        UrlCase{L"http://h:99999999999/x", L"h", INT32_MAX, L"/x", L"x"},  // saturates, then fails to connect
        UrlCase{L"/new/x.zip", L"", 80, L"/new/x.zip", L"x.zip"},          // relative target
        UrlCase{L"https://h/x.zip", L"https", 0, L"//h/x.zip", L"x.zip"},  // only http:// is a scheme
        UrlCase{L" \t\r\nhttp://h/a b.zip\v\f ", L"h", 80, L"/a b.zip", L"a b.zip"},  // trimmed, not escaped
        UrlCase{L"http://u:p@h:8080/x", L"u:p@h", 8080, L"/x", L"x"},                 // last ":" splits the port
        UrlCase{L"http://h/get?u=/dir/y.zip", L"h", 80, L"/get?u=/dir/y.zip", L"y.zip"},
        UrlCase{L"http://h/a?b?c", L"h", 80, L"/a?b?c", L"a?b"},  // cut before the last "?"
        UrlCase{L"xhttp://h/x", L"h", 80, L"/x", L"x"},           // everything up to the scheme goes
        UrlCase{L"", L"", 80, L"", L""}));

TEST(IsSafeFileName, RejectsNamesThatLeaveTheFolder) {
  for (const wchar_t* good : {L"p.zip", L"a b.zip", L"..x", L"\u624B\u673A.zip", L"a.b.c"}) {
    EXPECT_TRUE(IsSafeFileName(good)) << good;
  }
  for (const wchar_t* bad : {L"", L".", L"..", L"...", L"..\\..\\evil.exe", L"C:evil", L"a?b", L"x\ty", L"a*", L"a|b",
                             L"a\"b", L"a<b", L"a>b"}) {
    EXPECT_FALSE(IsSafeFileName(bad)) << bad;
  }
}

TEST(LeadingInt, BehavesLikeTheRuntimeConversion) {
  EXPECT_EQ(LeadingInt(L"81"), 81);
  EXPECT_EQ(LeadingInt(L"  -12x"), -12);
  EXPECT_EQ(LeadingInt(L"abc"), 0);
  EXPECT_EQ(LeadingInt(L""), 0);
  EXPECT_EQ(LeadingInt(L"99999999999999999999"), INT32_MAX);
  EXPECT_EQ(LeadingInt(L"-99999999999999999999"), INT32_MIN);
}

// ---------------------------------------------------------------- header evaluation

struct SizeCase {
  const char* name;
  const wchar_t* header;
  uint32_t size;
};

class ContentSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(ContentSizeTest, ReadsTheSizeTheServerNames) {
  EXPECT_EQ(ParseContentSize(GetParam().header), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ContentSizeTest,
    testing::Values(
        SizeCase{"RangeTotal", L"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-1/1048576\r\n\r\n", 1048576},
        SizeCase{"RangeStar", L"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-1/*\r\n\r\n", 0},
        SizeCase{"RangeWinsAfter", L"HTTP/1.1 206 X\r\nContent-Length: 2\r\nContent-Range: bytes 0-1/900\r\n\r\n", 900},
        SizeCase{"RangeWinsBefore", L"HTTP/1.1 206 X\r\nContent-Range: bytes 0-1/900\r\nContent-Length: 2\r\n\r\n",
                 900},
        SizeCase{"Length", L"HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n", 900},
        SizeCase{"LengthNoBlank", L"HTTP/1.1 200 OK\r\nContent-Length:900\r\n\r\n", 900},
        SizeCase{"LengthAtEnd", L"HTTP/1.1 200 OK\r\nContent-Length: 77", 77},
        SizeCase{"NoField", L"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", 0},
        SizeCase{"LowerCaseName", L"HTTP/1.1 200 OK\r\ncontent-length: 900\r\n\r\n", 0},
        SizeCase{"NoDigits", L"HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\n", 0},
        SizeCase{"Largest", L"HTTP/1.1 200 OK\r\nContent-Length: 2147483647\r\n\r\n", 2147483647u},
        SizeCase{"TwoGiB", L"HTTP/1.1 200 OK\r\nContent-Length: 2147483648\r\n\r\n", 0},
        SizeCase{"FourGiBPlusOne", L"HTTP/1.1 200 OK\r\nContent-Length: 4294967297\r\n\r\n", 0},
        SizeCase{"Overflow", L"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", 0},
        SizeCase{"RangeTotalTooBig", L"HTTP/1.1 206 X\r\nContent-Range: bytes 0-1/3000000000\r\n\r\n", 0},
        SizeCase{"Negative", L"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", 0},
        SizeCase{"Plus", L"HTTP/1.1 200 OK\r\nContent-Length: +5\r\n\r\n", 5}),
    [](const testing::TestParamInfo<SizeCase>& info) { return info.param.name; });

TEST(StatusContains, LooksOnlyAtTheStatusLine) {
  EXPECT_TRUE(StatusContains(L"HTTP/1.1 404 Not Found\r\n\r\n", L"404"));
  EXPECT_TRUE(StatusContains(L"HTTP/1.1 200 OK 404\r\n\r\n", L"404"));  // the digits anywhere on the line count
  EXPECT_FALSE(StatusContains(L"HTTP/1.1 200 OK\r\nX: 404\r\n\r\n", L"404"));
  EXPECT_FALSE(StatusContains(L"HTTP/1.1 404 Not Found", L"404"));  // no CR LF, no status line
}

TEST(StatusCode, ParsesOnlyAWellFormedStatusLine) {
  EXPECT_EQ(StatusCode(L"HTTP/1.1 206 Partial Content\r\n"), 206);
  EXPECT_EQ(StatusCode(L"HTTP/1.0 200\r\n"), 200);
  EXPECT_EQ(StatusCode(L"HTTP/1.1 2060 X\r\n"), -1);
  EXPECT_EQ(StatusCode(L"ICY 200 OK\r\n"), -1);
  EXPECT_EQ(StatusCode(L"HTTP/1.1 20\r\n"), -1);
  EXPECT_EQ(StatusCode(L"HTTP/1.1 200 OK"), -1);
}

TEST(ParseLocation, FindsBothSpellingsAndTrims) {
  EXPECT_EQ(ParseLocation(L"HTTP/1.1 302 Found\r\nLocation:  http://h/x.zip\r\n\r\n"), L"http://h/x.zip");
  EXPECT_EQ(ParseLocation(L"HTTP/1.1 301 Moved\r\nlocation: /new/x.zip \r\n\r\n"), L"/new/x.zip");
  EXPECT_EQ(ParseLocation(L"HTTP/1.1 301 Moved\r\nLOCATION: http://h/x.zip\r\n\r\n"), L"");
  EXPECT_EQ(ParseLocation(L"HTTP/1.1 301 Moved\r\nLocation: http://h/x.zip"), L"");  // no CR LF after it
  // the lower-case spelling is looked for first, wherever it stands
  EXPECT_EQ(ParseLocation(L"HTTP/1.1 301 M\r\nLocation: http://a/1\r\nlocation: http://b/2\r\n\r\n"), L"http://b/2");
}

struct AnswerCase {
  const char* name;
  const wchar_t* header;
  uint32_t firstByte;
  TransferAnswer expected;
};

class SegmentAnswerTest : public testing::TestWithParam<AnswerCase> {};

TEST_P(SegmentAnswerTest, AcceptsOnlyTheAskedRange) {
  EXPECT_EQ(EvaluateSegmentAnswer(GetParam().header, GetParam().firstByte, 1000), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SegmentAnswerTest,
    testing::Values(
        AnswerCase{"Exact", L"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 500-999/1000\r\n\r\n", 500,
                   TransferAnswer::kAccept},
        AnswerCase{"StarTotal", L"HTTP/1.1 206 P\r\nContent-Range: bytes 500-999/*\r\n\r\n", 500,
                   TransferAnswer::kAccept},
        AnswerCase{"WrongStart", L"HTTP/1.1 206 P\r\nContent-Range: bytes 0-999/1000\r\n\r\n", 500,
                   TransferAnswer::kUnexpected},
        AnswerCase{"OtherTotal", L"HTTP/1.1 206 P\r\nContent-Range: bytes 500-999/1001\r\n\r\n", 500,
                   TransferAnswer::kUnexpected},
        AnswerCase{"NoRange", L"HTTP/1.1 206 P\r\nContent-Length: 500\r\n\r\n", 500, TransferAnswer::kUnexpected},
        AnswerCase{"WholeFile", L"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n", 500, TransferAnswer::kUnexpected},
        AnswerCase{"ServerError", L"HTTP/1.1 500 Internal Server Error\r\n\r\n", 500, TransferAnswer::kUnexpected},
        AnswerCase{"NotSatisfiable", L"HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */1000\r\n\r\n", 500,
                   TransferAnswer::kUnexpected},
        AnswerCase{"NotFound", L"HTTP/1.1 404 Not Found\r\n\r\n", 500, TransferAnswer::kRefused},
        AnswerCase{"Forbidden", L"HTTP/1.1 403 Forbidden\r\n\r\n", 500, TransferAnswer::kRefused},
        AnswerCase{"Garbage", L"HTTP/1.1 206 P\r\nContent-Range: bytes 5x-9/1000\r\n\r\n", 5,
                   TransferAnswer::kUnexpected}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

TEST(WholeAnswer, WantsTwoHundredOfTheKnownLength) {
  EXPECT_EQ(EvaluateWholeAnswer(L"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n", 1000), TransferAnswer::kAccept);
  EXPECT_EQ(EvaluateWholeAnswer(L"HTTP/1.1 200 OK\r\n\r\n", 1000), TransferAnswer::kAccept);
  EXPECT_EQ(EvaluateWholeAnswer(L"HTTP/1.1 200 OK\r\nContent-Length: 999\r\n\r\n", 1000), TransferAnswer::kUnexpected);
  EXPECT_EQ(EvaluateWholeAnswer(L"HTTP/1.1 206 P\r\nContent-Range: bytes 0-999/1000\r\n\r\n", 1000),
            TransferAnswer::kUnexpected);
  EXPECT_EQ(EvaluateWholeAnswer(L"HTTP/1.1 503 Busy\r\n\r\n", 1000), TransferAnswer::kUnexpected);
  EXPECT_EQ(EvaluateWholeAnswer(L"HTTP/1.1 403 Forbidden\r\n\r\n", 1000), TransferAnswer::kRefused);
}

TEST(ParseContentRange, ReadsWellFormedValuesOnly) {
  auto r = ParseContentRange(L"X\r\nContent-Range: bytes 2621440-5242880/5242881\r\n\r\n");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->first, 2621440u);
  ASSERT_TRUE(r->total);
  EXPECT_EQ(*r->total, 5242881u);
  EXPECT_FALSE(ParseContentRange(L"X\r\nContent-Range: bytes 9-1/100\r\n"));    // last before first
  EXPECT_FALSE(ParseContentRange(L"X\r\nContent-Range: bytes 0-100/100\r\n"));  // last beyond the total
  EXPECT_FALSE(ParseContentRange(L"X\r\nContent-Range: items 0-1/100\r\n"));
  EXPECT_FALSE(ParseContentRange(L"X\r\nContent-Range: bytes 0-1/100 junk\r\n"));
  EXPECT_FALSE(ParseContentRange(L"X\r\nContent-Range: bytes 99999999999-99999999999/99999999999\r\n"));
}

// Every cut of a header block: only the full block ends with the blank line.
TEST(HeaderBlockComplete, OnlyTheBlankLineEndsABlock) {
  const std::string block = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-1/9\r\n\r\n";
  for (size_t cut = 0; cut <= block.size(); ++cut) {
    EXPECT_EQ(HeaderBlockComplete(block.data(), cut), cut == block.size()) << cut;
  }
  EXPECT_FALSE(HeaderBlockComplete("\n\r\n\r", 4));
}

// ---------------------------------------------------------------- request texts

TEST(RequestTexts, GoOutExactlyAsWritten) {
  EXPECT_EQ(RedirectCheckRequest(L"h", L"/a b.zip"),
            L"GET /a b.zip HTTP/1.1\r\nHost: h\r\nAccept: */*\r\n"
            L"User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36\t\t\t\t  (KHTML, like Gecko)"
            L"Chrome/32.0.1700.107 Safari/537.36\r\n\r\n");
  EXPECT_EQ(RangeProbeLines(L"h", L"/x"),
            (std::vector<std::wstring>{L"GET /x HTTP/1.1\r\n", L"Host: h\r\n", L"Accept: */*\r\n",
                                       L"User-Agent: Mozilla\r\n", L"Range: bytes=0-1\r\n", L"\r\n"}));
  EXPECT_EQ(PlainRequestLines(L"h", L"/x"),
            (std::vector<std::wstring>{L"GET /x HTTP/1.1\r\n", L"Host: h\r\n", L"Accept: */*\r\n",
                                       L"User-Agent: Mozilla\r\n", L"\r\n"}));
  EXPECT_EQ(SegmentRequestLines(L"h", L"/x", 2622440, 5242881)[4], L"Range: bytes=2622440-5242881\r\n");
}

// ---------------------------------------------------------------- segment plan

struct CountCase {
  uint64_t size;
  bool multi, ranges;
  int count;
};

class SegmentCountTest : public testing::TestWithParam<CountCase> {};

TEST_P(SegmentCountTest, FollowsTheSizeThresholds) {
  const CountCase& c = GetParam();
  EXPECT_EQ(SegmentCount(c.size, c.multi, c.ranges), c.count);
}

INSTANTIATE_TEST_SUITE_P(Thresholds, SegmentCountTest,
                         testing::Values(CountCase{1, true, true, 1}, CountCase{5242880, true, true, 1},
                                         CountCase{5242881, true, true, 2}, CountCase{52428800, true, true, 2},
                                         CountCase{52428801, true, true, 3}, CountCase{104857600, true, true, 3},
                                         CountCase{104857601, true, true, 4}, CountCase{2147483647, true, true, 4},
                                         CountCase{104857601, false, true, 1}, CountCase{104857601, true, false, 1}));

TEST(PlanSegments, SharesAreEqualAndTheLastTakesTheRest) {
  auto spans = PlanSegments(5242881, 2);
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[0].start, 0u);
  EXPECT_EQ(spans[0].end, 2621440u);
  EXPECT_EQ(spans[1].start, 2621440u);
  EXPECT_EQ(spans[1].end, 5242881u);
  for (uint64_t size : {104857601ull, 2147483647ull, 7ull}) {
    for (int count = 1; count <= kMaxSegments; ++count) {
      auto plan = PlanSegments(size, count);
      ASSERT_EQ(plan.size(), static_cast<size_t>(count));
      EXPECT_EQ(plan.front().start, 0u);
      EXPECT_EQ(plan.back().end, size);
      for (size_t i = 1; i < plan.size(); ++i) EXPECT_EQ(plan[i].start, plan[i - 1].end);
    }
  }
  EXPECT_TRUE(PlanSegments(kSizeLimit, 4).empty());
}

TEST(PartFileName, NamesPartsBesideTheTarget) {
  EXPECT_EQ(PartFileName(L"C:\\T\\p.zip", 3, true), L"C:\\T\\p.zip_3");
  EXPECT_EQ(PartFileName(L"C:\\T\\p.zip", 0, false), L"C:\\T\\p.zip_tmp");
}

TEST(ProgressPercent, TruncatesAndCaps) {
  EXPECT_EQ(ProgressPercent(0, 1000), 0);
  EXPECT_EQ(ProgressPercent(999, 1000), 99);
  EXPECT_EQ(ProgressPercent(1000, 1000), 100);
  EXPECT_EQ(ProgressPercent(1001, 1000), 100);  // a part's extra byte
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(2147483647, 2147483647), 100);
}

TEST(RateWindow, ReportsTheLastCompletedWindow) {
  RateWindow meter;
  EXPECT_EQ(meter.Rate(1000), 0u);  // nothing counted yet: no window started
  meter.Add(4096, 1000);
  EXPECT_EQ(meter.Rate(2000), 0u);
  meter.Add(8192, 4999);
  EXPECT_EQ(meter.Rate(4999), 0u);  // 3999 ms: the window is not complete
  meter.Add(4096, 5000);            // 16384 bytes in 4 whole seconds
  EXPECT_EQ(meter.Rate(5000), 4096u);
  meter.Add(30000, 7000);
  EXPECT_EQ(meter.Rate(8999), 4096u);        // kept until the next window completes
  EXPECT_EQ(meter.Rate(11500), 30000u / 6);  // 6500 ms count as 6 whole seconds
}

TEST(RateWindow, SurvivesTickWrapAndHugeWindows) {
  RateWindow meter;
  meter.Add(1, 0xFFFFF000u);
  meter.Add(uint64_t{8} << 32, 0xFFFFF000u + 1000);
  EXPECT_EQ(meter.Rate(3000), UINT32_MAX);  // wrapped tick: 7096 ms; rate capped rather than wrapped
}

// ---------------------------------------------------------------- request entry rules

TEST(ExpectedDigest, TakesEverythingAfterTheFirstMarker) {
  EXPECT_EQ(ExpectedDigest(L"http://h/dl/get.zip?id=3&md5=0A1B"), L"0A1B");
  EXPECT_EQ(ExpectedDigest(L"http://h/md5=a/x?md5=b"), L"a/x?md5=b");
  EXPECT_EQ(ExpectedDigest(L"http://h/x.zip?MD5=AB"), L"");
  EXPECT_EQ(ExpectedDigest(L"http://h/x.zip"), L"");
}

TEST(DigestMatches, IgnoresCaseAndNeverMatchesEmpty) {
  EXPECT_TRUE(DigestMatches(L"900150983CD24FB0D6963F7D28E17F72", L"900150983cd24fb0d6963f7d28e17f72"));
  EXPECT_FALSE(DigestMatches(L"900150983CD24FB0D6963F7D28E17F72", L"900150983cd24fb0d6963f7d28e17f7"));
  EXPECT_FALSE(DigestMatches(L"", L""));
  EXPECT_FALSE(DigestMatches(L"", L"00"));
}

TEST(LocalPath, AppendsNameOrExtension) {
  EXPECT_EQ(LocalPath(L"C:\\Temp\\", L"p.zip", false), L"C:\\Temp\\p.zip");
  EXPECT_EQ(LocalPath(L"C:\\Temp", L"p.zip", false), L"C:\\Tempp.zip");
  EXPECT_EQ(LocalPath(L"C:\\d\\pkg", L"a.b.zip", true), L"C:\\d\\pkg.zip");
  EXPECT_EQ(LocalPath(L"C:\\d\\pkg", L"abzip", true), L"C:\\d\\pkg");
  EXPECT_EQ(ParentFolder(L"C:\\Tempp.zip").value_or(L"?"), L"C:");
  EXPECT_EQ(ParentFolder(L"\\\\srv\\share\\p.zip").value_or(L"?"), L"\\\\srv\\share");
  EXPECT_FALSE(ParentFolder(L"p.zip"));
}
