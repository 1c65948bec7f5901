#include "extract/zip_core.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zipcore;

struct NameCase {
  const wchar_t* raw;
  const wchar_t* stripped;
  bool parentStepLeft;
};

class StripMemberNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(StripMemberNameTest, StripsAndFlagsWhatIsLeft) {
  const NameCase& c = GetParam();
  std::wstring out = StripMemberName(c.raw);
  EXPECT_EQ(out, c.stripped);
  EXPECT_EQ(HasParentStep(out), c.parentStepLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Names, StripMemberNameTest,
    testing::Values(NameCase{L"dir/file.txt", L"dir/file.txt", false},  // plain names stay as they are
                    NameCase{L"C:\\x\\y.txt", L"x\\y.txt", false},       // drive prefix and its separator
                    NameCase{L"\\x\\y.txt", L"x\\y.txt", false},         // leading backslash
                    NameCase{L"/x/y.txt", L"x/y.txt", false},            // leading slash
                    NameCase{L"//\\x", L"x", false},                     // repeated until nothing applies
                    NameCase{L"C:/D:/x", L"x", false},                   // drive after drive
                    NameCase{L"a/b/../c.txt", L"c.txt", false},          // text before the pattern goes too
                    NameCase{L"a\\..\\b", L"b", false},
                    NameCase{L"a\\../b", L"b", false},
                    NameCase{L"a/..\\b", L"b", false},
                    NameCase{L"a/../b/../c", L"c", false},               // every pattern, repeatedly
                    NameCase{L"/a/../../x", L"../x", true},              // a step left at the start stays
                    NameCase{L"../x", L"../x", true},                    // the rules leave this in place
                    NameCase{L"..\\..\\x", L"x", false},                  // the second step matches a pattern
                    NameCase{L"..\\x", L"..\\x", true},
                    NameCase{L"a/..", L"a/..", true},
                    NameCase{L"..", L"..", true},
                    NameCase{L"a/..b/c", L"a/..b/c", false},             // two dots inside a name are fine
                    NameCase{L"...", L"...", false},
                    NameCase{L"", L"", false}));

TEST(DecodeUtf8, DecodesChineseAndReplacesMalformedBytes) {
  const char chinese[] = "Quorvi\xE6\x89\x8B\xE6\x9C\xBA/a.txt";
  EXPECT_EQ(DecodeUtf8(chinese, sizeof chinese - 1), L"Quorvi\u624B\u673A/a.txt");
  const char astral[] = "\xF0\x9F\x98\x80";
  EXPECT_EQ(DecodeUtf8(astral, 4), std::wstring(L"\xD83D\xDE00"));
  const char bad[] = "a\xC3(b\xE6\x89";  // cut sequences
  EXPECT_EQ(DecodeUtf8(bad, sizeof bad - 1), L"a\uFFFD(b\uFFFD");
  const char overlong[] = "\xC0\xAF";  // an overlong '/' must not become a separator
  EXPECT_EQ(DecodeUtf8(overlong, 2), L"\uFFFD");
  const char surrogate[] = "\xED\xA0\x80";
  EXPECT_EQ(DecodeUtf8(surrogate, 3), L"\uFFFD");
}

struct AttributeCase {
  const char* what;
  uint8_t host;
  uint32_t external;
  uint32_t expected;
};

class MapAttributesTest : public testing::TestWithParam<AttributeCase> {};

TEST_P(MapAttributesTest, Maps) {
  EXPECT_EQ(MapAttributes(GetParam().host, GetParam().external), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, MapAttributesTest,
    testing::Values(AttributeCase{"unix directory 40755", 3, 0x41ED0000, 0x30},
                    AttributeCase{"unix read-only file 100444", 3, 0x81240000, 0x21},
                    AttributeCase{"unix writable file 100644", 3, 0x81A40000, 0x20},
                    AttributeCase{"unknown host uses unix rules", 19, 0x81A40000, 0x20},
                    AttributeCase{"dos all bits", 0, 0x37, 0x37},
                    AttributeCase{"dos none", 0, 0x00, 0x00},
                    AttributeCase{"ntfs hidden archive", 11, 0x22, 0x22},
                    AttributeCase{"vfat read-only", 14, 0x01, 0x01},
                    AttributeCase{"macintosh directory", 7, 0x10, 0x10},
                    AttributeCase{"dos ignores unix high bits", 0, 0x41ED0020, 0x20}));

TEST(SplitDosStamp, SplitsDateAndTime) {
  // 2021-07-15 13:45:58: date (41<<9)|(7<<5)|15, time (13<<11)|(45<<5)|29
  uint32_t stamp = ((41u << 9 | 7u << 5 | 15u) << 16) | (13u << 11 | 45u << 5 | 29u);
  DosStamp d = SplitDosStamp(stamp);
  EXPECT_EQ(d.year, 2021);
  EXPECT_EQ(d.month, 7);
  EXPECT_EQ(d.day, 15);
  EXPECT_EQ(d.hour, 13);
  EXPECT_EQ(d.minute, 45);
  EXPECT_EQ(d.second, 58);
  DosStamp zero = SplitDosStamp(0);
  EXPECT_EQ(zero.year, 1980);
  EXPECT_EQ(zero.month, 0);  // not a valid date: the caller decides
}

TEST(UnixSecondsToFileTime, ConvertsEpochAndNegative) {
  EXPECT_EQ(UnixSecondsToFileTime(0), 116444736000000000LL);
  EXPECT_EQ(UnixSecondsToFileTime(1), 116444736010000000LL);
  EXPECT_EQ(UnixSecondsToFileTime(-1), 116444735990000000LL);
  EXPECT_EQ(UnixSecondsToFileTime(INT32_MAX), (INT32_MAX + 11644473600LL) * 10000000LL);
}

static std::vector<uint8_t> UtBlock(uint8_t flags, std::vector<int32_t> times, int declaredSize = -1) {
  std::vector<uint8_t> b = {'U', 'T', 0, 0, flags};
  for (int32_t t : times)
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(t) >> (8 * i)));
  size_t size = declaredSize >= 0 ? static_cast<size_t>(declaredSize) : b.size() - 4;
  b[2] = size & 0xFF;
  b[3] = size >> 8;
  return b;
}

TEST(WalkExtendedTimestamp, TakesTheFlaggedTimesInOrder) {
  auto field = UtBlock(7, {100, 200, 300});
  ExtendedTimes t = WalkExtendedTimestamp(field.data(), field.size());
  ASSERT_TRUE(t.hasWrite && t.hasAccess && t.hasCreation);
  EXPECT_EQ(t.write, UnixSecondsToFileTime(100));
  EXPECT_EQ(t.access, UnixSecondsToFileTime(200));
  EXPECT_EQ(t.creation, UnixSecondsToFileTime(300));
}

TEST(WalkExtendedTimestamp, OnlyModificationTime) {
  auto field = UtBlock(1, {1600000000});
  ExtendedTimes t = WalkExtendedTimestamp(field.data(), field.size());
  EXPECT_TRUE(t.hasWrite);
  EXPECT_FALSE(t.hasAccess);
  EXPECT_FALSE(t.hasCreation);
  EXPECT_EQ(t.write, UnixSecondsToFileTime(1600000000));
}

TEST(WalkExtendedTimestamp, CreationWithoutAccessTakesTheNextFourBytes) {
  auto field = UtBlock(5, {10, 20});
  ExtendedTimes t = WalkExtendedTimestamp(field.data(), field.size());
  EXPECT_EQ(t.write, UnixSecondsToFileTime(10));
  EXPECT_FALSE(t.hasAccess);
  EXPECT_EQ(t.creation, UnixSecondsToFileTime(20));
}

TEST(WalkExtendedTimestamp, SkipsOtherBlocksFirst) {
  std::vector<uint8_t> field = {0x01, 0x00, 4, 0, 1, 2, 3, 4, 0x0A, 0x00, 0, 0};  // zip64 then NTFS-like empty
  auto ut = UtBlock(1, {42});
  field.insert(field.end(), ut.begin(), ut.end());
  ExtendedTimes t = WalkExtendedTimestamp(field.data(), field.size());
  EXPECT_TRUE(t.hasWrite);
  EXPECT_EQ(t.write, UnixSecondsToFileTime(42));
}

TEST(WalkExtendedTimestamp, TimesPastTheFieldAreNotTaken) {
  auto field = UtBlock(7, {10, 20, 30});
  field.resize(field.size() - 1);  // creation time cut by one byte
  ExtendedTimes t = WalkExtendedTimestamp(field.data(), field.size());
  EXPECT_TRUE(t.hasWrite && t.hasAccess);
  EXPECT_FALSE(t.hasCreation);
  std::vector<uint8_t> flagsOnly = {'U', 'T', 1, 0, 1};
  EXPECT_FALSE(WalkExtendedTimestamp(flagsOnly.data(), flagsOnly.size()).hasWrite);
}

TEST(WalkExtendedTimestamp, IgnoresShortAndRunawayFields) {
  std::vector<uint8_t> tiny = {'U', 'T', 0, 0};
  EXPECT_FALSE(WalkExtendedTimestamp(tiny.data(), tiny.size()).hasWrite);
  std::vector<uint8_t> runaway = {0x99, 0x99, 0xFF, 0xFF, 0, 0, 0, 0, 'U', 'T', 5, 0, 1, 1, 0, 0, 0};
  EXPECT_FALSE(WalkExtendedTimestamp(runaway.data(), runaway.size()).hasWrite);  // skipped past the end
  EXPECT_FALSE(WalkExtendedTimestamp(nullptr, 0).hasWrite);
}

TEST(ZipCryptoHeader, MatchesOnlyWithTheRightPassword) {
  // header made by encrypting 11 zero bytes and the check byte 0xAB with "secret"
  // using the same key schedule, so a mismatch in either direction fails
  const std::string password = "secret";
  uint8_t header[12];
  {
    uint32_t k0 = 0x12345678, k1 = 0x23456789, k2 = 0x34567890;
    auto crc = [](uint32_t c, uint8_t b) {
      c ^= b;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      return c;
    };
    auto update = [&](uint8_t p) {
      k0 = crc(k0, p);
      k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
      k2 = crc(k2, static_cast<uint8_t>(k1 >> 24));
    };
    for (char ch : password) update(static_cast<uint8_t>(ch));
    for (int i = 0; i < 12; ++i) {
      uint8_t plain = i == 11 ? 0xAB : static_cast<uint8_t>(i * 7);
      uint32_t t = (k2 | 2) & 0xFFFF;
      header[i] = plain ^ static_cast<uint8_t>((t * (t ^ 1)) >> 8);
      update(plain);
    }
  }
  EXPECT_TRUE(ZipCryptoHeaderMatches(password, header, 0xAB));
  EXPECT_FALSE(ZipCryptoHeaderMatches(password, header, 0xAC));
  EXPECT_FALSE(ZipCryptoHeaderMatches("Secret", header, 0xAB));
  EXPECT_FALSE(ZipCryptoHeaderMatches("", header, 0xAB));
}
