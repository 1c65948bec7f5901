#include "app/workflow_core.h"

#include <gtest/gtest.h>

using namespace workflow;

TEST(NormalizeFolder, AppendsOneBackslashUnlessPresent) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\Program Files\\", L"C:\\Program Files\\"},
      {L"C:\\Program Files", L"C:\\Program Files\\"},
      {L"", L"\\"},                // the root of the current drive
      {L"D:\\Games/", L"D:\\Games/\\"},  // a slash is not a backslash
      {L" C:\\x ", L" C:\\x \\"},  // no trimming here
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(NormalizeFolder(in), out);
}

TEST(FolderFitsBuffers, RefusesWhatWouldOverflowEitherBuffer) {
  // the 200-unit creation buffer is the tighter one: 199 units and the terminator
  EXPECT_TRUE(FolderFitsBuffers(std::wstring(199, L'a')));
  EXPECT_FALSE(FolderFitsBuffers(std::wstring(200, L'a')));
  EXPECT_TRUE(FolderFitsBuffers(L"C:\\Program Files\\"));
  EXPECT_TRUE(FolderFitsBuffers(L"\\"));
}

TEST(TrimSpaces, TrimsBothEnds) {
  EXPECT_EQ(TrimSpaces(L"  D:\\Games\\ \t"), L"D:\\Games\\");
  EXPECT_EQ(TrimSpaces(L"\u3000D:\\x\u3000"), L"D:\\x");  // ideographic space counts as white space
  EXPECT_EQ(TrimSpaces(L"   "), L"");
  EXPECT_EQ(TrimSpaces(L"a b"), L"a b");
}

TEST(ExtractPercent, TruncatesAndSurvivesBadCounts) {
  struct {
    uintptr_t index;
    intptr_t count;
    int percent;
  } cases[] = {{0, 4, 0}, {1, 4, 25}, {2, 4, 50}, {3, 4, 75}, {1, 3, 33}, {2, 3, 66}, {0, 1, 0}, {5, 0, 0}, {1, -3, 0}};
  for (const auto& c : cases) EXPECT_EQ(ExtractPercent(c.index, c.count), c.percent) << c.index << "/" << c.count;
  EXPECT_EQ(FormatPercent(37), L"37%");
  EXPECT_EQ(FormatPercent(0), L"0%");
}

TEST(ProgressGate, PassesFirstReportThenAtMostEvery500MsWithAChange) {
  ProgressGate gate;
  EXPECT_TRUE(gate.Offer(10000, 5));     // the first report passes
  EXPECT_FALSE(gate.Offer(10400, 100));  // 400 ms later: dropped even at 100
  EXPECT_FALSE(gate.Offer(10500, 100));  // exactly 500 ms after the last passed one: still dropped
  EXPECT_TRUE(gate.Offer(10501, 100));
  EXPECT_FALSE(gate.Offer(11200, 100));  // time passed, percentage unchanged
  EXPECT_FALSE(gate.Offer(11300, 90));   // gated from 11200: the unchanged report still counts as the last
}

TEST(ProgressGate, UnchangedZeroIsNotPostedAndTheTickWraps) {
  ProgressGate gate;
  EXPECT_FALSE(gate.Offer(0xFFFFFF00u, 0));  // 0 equals the start value
  EXPECT_TRUE(gate.Offer(0x00000200u, 1));   // 768 ms later across the wrap
}
