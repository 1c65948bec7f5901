#include "system/report_core.h"

#include <gtest/gtest.h>

#include <string>

using namespace syscore;

namespace {

std::tm Tm(int year, int month, int day, int hour, int minute, int second) {
  std::tm t = {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(ReportTime, NineteenCharactersWithLeadingZeros) {
  struct {
    std::tm time;
    const char* text;
  } cases[] = {
      {Tm(2014, 1, 2, 3, 4, 5), "2014-01-02 03:04:05"},
      {Tm(2014, 5, 6, 13, 45, 12), "2014-05-06 13:45:12"},
      {Tm(1999, 12, 31, 23, 59, 59), "1999-12-31 23:59:59"},
      {Tm(2038, 1, 19, 0, 0, 0), "2038-01-19 00:00:00"},
  };
  for (const auto& c : cases) {
    std::string text = FormatReportTime(c.time);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(text.size(), 19u);
  }
}

TEST(ReportMac, UpperCasePairsAndLineFeed) {
  struct {
    uint8_t address[kMacAddressBytes];
    const char* text;
  } cases[] = {
      {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "00-1A-2B-3C-4D-5E\n"},
      {{0xff, 0xfe, 0xab, 0xcd, 0xef, 0x01}, "FF-FE-AB-CD-EF-01\n"},
      {{0, 0, 0, 0, 0, 0}, "00-00-00-00-00-00\n"},
  };
  for (const auto& c : cases) {
    std::string text = FormatMacAddress(c.address);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(text.size(), 18u);
  }
}

TEST(ReportBody, KeysInOrderValuesRaw) {
  struct {
    const char* name;
    ReportFields fields;
    std::string body;
  } cases[] = {
      {"installer's own report",
       {100, "2014-05-06 13:45:12", "00-1A-2B-3C-4D-5E\n", "", ""},
       "type=100&time=2014-05-06 13:45:12&mac=00-1A-2B-3C-4D-5E\n&apkid=&AdditionalInfo="},
      {"no adapter list: empty mac",
       {100, "2014-05-06 13:45:12", "", "", ""},
       "type=100&time=2014-05-06 13:45:12&mac=&apkid=&AdditionalInfo="},
      {"values are not url-encoded",
       {-7, "a b", "c&d", "e=f", "g%20h+"},
       "type=-7&time=a b&mac=c&d&apkid=e=f&AdditionalInfo=g%20h+"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatReportBody(c.fields), c.body) << c.name;
}

TEST(ReportBody, FullFieldsStillFitTheBuffer) {
  std::string time(kTimeFieldBytes - 1, 't'), mac(kMacFieldBytes - 1, 'm'), apk(kApkIdFieldBytes - 1, 'a'),
      info(kAdditionalInfoFieldBytes - 1, 'i');
  std::string body = FormatReportBody({-2147483647 - 1, time, mac, apk, info});
  EXPECT_LT(body.size(), kReportBodyBytes);
  EXPECT_EQ(body.substr(body.size() - info.size() - 16), "&AdditionalInfo=" + info);
}

TEST(ReportBody, OverlongValuesAreCutToTheBuffer) {
  std::string info(3000, 'i');
  std::string body = FormatReportBody({1, "", "", "", info});
  EXPECT_EQ(body.size(), kReportBodyBytes - 1);
  EXPECT_EQ(body.substr(0, 44), "type=1&time=&mac=&apkid=&AdditionalInfo=iiii");
}

TEST(ReportField, CopyCutsAndTerminates) {
  struct {
    std::string text;
    std::string stored;
  } cases[] = {
      {"", ""},
      {"abc", "abc"},
      {std::string(7, 'x'), std::string(7, 'x')},
      {std::string(8, 'x'), std::string(7, 'x')},
      {std::string(100, 'y'), std::string(7, 'y')},
  };
  for (const auto& c : cases) {
    char field[9];
    std::fill(std::begin(field), std::end(field), '#');
    CopyField(field, 8, c.text);
    EXPECT_EQ(std::string(field, FieldLength(field, 8)), c.stored);
    EXPECT_EQ(field[c.stored.size()], '\0');
    EXPECT_EQ(field[8], '#') << "wrote past the field";
  }
}

TEST(ReportField, LengthOfAnUnterminatedFieldIsItsSize) {
  char field[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(FieldLength(field, sizeof field), 4u);
}

TEST(ProcessName, WholeNameAsciiCaseOnly) {
  struct {
    const wchar_t* a;
    const wchar_t* b;
    bool equal;
  } cases[] = {
      {L"adb.exe", L"adb.exe", true},
      {L"ADB.EXE", L"adb.exe", true},
      {L"Adb.exe", L"adb.exe", true},
      {L"httpd2.exe", L"httpd.exe", false},
      {L"httpd.exe", L"httpd.exe.exe", false},
      {L"http.exe", L"httpd.exe", false},
      {L"xadb.exe", L"adb.exe", false},
      {L"", L"adb.exe", false},
      {L"", L"", true},
      // only A-Z fold: neither Latin-1 letters nor wider ones
      {L"\u00C4db.exe", L"\u00E4db.exe", false},
      {L"\u0414.exe", L"\u0434.exe", false},
      {L"\u00C4DB.exe", L"\u00C4db.EXE", true},
      // '@' and '[' lie next to A and Z; '`' and '{' next to a and z
      {L"@.exe", L"`.exe", false},
      {L"[.exe", L"{.exe", false},
      {L"Quorvi\u624B\u673A.EXE", L"quorvi\u624B\u673A.exe", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProcessNameEquals(c.a, c.b), c.equal) << "'" << testing::PrintToString(std::wstring(c.a)) << "' vs '"
                                                    << testing::PrintToString(std::wstring(c.b)) << "'";
    EXPECT_EQ(ProcessNameEquals(c.b, c.a), c.equal) << "not symmetric";
  }
}

}  // namespace
