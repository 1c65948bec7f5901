// The zip reader against real files under Wine: attributes, times, names,
// failures. The archives come from make_zips.py (QUORVI_FIXTURES).
#include "extract/archive.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/raii.h"

namespace {

std::wstring Fixture(const wchar_t* name) {
  const wchar_t* dir = _wgetenv(L"QUORVI_FIXTURES");
  return std::wstring(dir ? dir : L".") + L"\\" + name;
}

// A fresh folder per test, removed with everything in it afterwards.
class ArchiveTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string id = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : id)
      if (c == '/') c = '_';
    root_ = std::wstring(temp) + L"quorvi-archive-" + std::wstring(id.begin(), id.end()) + L"\\";
    Remove(root_);
    CreateDirectoryW(root_.c_str(), nullptr);
    base_ = root_ + L"base\\";
  }
  void TearDown() override {
    if (handle_) ArchiveClose(handle_);
    Remove(root_);
  }
  static void Remove(const std::wstring& path) {
    std::wstring trimmed = path;
    while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
    DWORD attributes = GetFileAttributesW(trimmed.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(trimmed.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      WIN32_FIND_DATAW fd;
      HANDLE find = FindFirstFileW((trimmed + L"\\*").c_str(), &fd);
      if (find != INVALID_HANDLE_VALUE) {
        do {
          std::wstring n = fd.cFileName;
          if (n != L"." && n != L"..") Remove(trimmed + L"\\" + n);
        } while (FindNextFileW(find, &fd));
        FindClose(find);
      }
      RemoveDirectoryW(trimmed.c_str());
    } else {
      DeleteFileW(trimmed.c_str());
    }
  }
  void Open(const wchar_t* fixture, const char* password = nullptr) {
    handle_ = ArchiveOpen(Fixture(fixture).c_str(), password);
    ASSERT_NE(handle_, nullptr);
    ASSERT_EQ(ArchiveSetBaseFolder(handle_, base_.c_str()), ARCHIVE_OK);
  }
  // Describes and extracts item i to its own name; returns the extraction's code.
  int32_t Extract(int32_t index, ArchiveItem* item = nullptr) {
    ArchiveItem local;
    ArchiveItem* it = item ? item : &local;
    int32_t rc = ArchiveGetItem(handle_, index, it);
    if (rc != ARCHIVE_OK) return rc;
    return ArchiveExtractItem(handle_, index, it->name);
  }
  std::string Read(const std::wstring& path) {
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (file && ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    return text;
  }
  static void Write(const std::wstring& path, const std::string& text) {
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  }
  static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::wstring root_, base_;
  ArchiveHandle* handle_ = nullptr;
};

TEST_F(ArchiveTest, CountQueryAndIndexRange) {
  Open(L"package.zip");
  ArchiveItem item;
  item.name[0] = L'x';
  ASSERT_EQ(ArchiveGetItem(handle_, -1, &item), ARCHIVE_OK);
  EXPECT_EQ(item.index, 6);
  EXPECT_EQ(item.name[0], 0);
  EXPECT_EQ(ArchiveGetItem(handle_, 6, &item), ARCHIVE_E_ARGS);
  EXPECT_EQ(ArchiveGetItem(handle_, -2, &item), ARCHIVE_E_ARGS);
  EXPECT_EQ(ArchiveExtractItem(handle_, 6, L"x"), ARCHIVE_E_ARGS);
  EXPECT_EQ(ArchiveExtractItem(handle_, -1, L"x"), ARCHIVE_E_ARGS);
  EXPECT_EQ(ArchiveGetItem(nullptr, 0, &item), ARCHIVE_E_ARGS);
  EXPECT_EQ(ArchiveExtractItem(nullptr, 0, L"x"), ARCHIVE_E_ARGS);
  EXPECT_EQ(ArchiveSetBaseFolder(nullptr, L"C:\\"), ARCHIVE_E_ARGS);
  EXPECT_EQ(ArchiveClose(nullptr), ARCHIVE_E_ARGS);
}

TEST_F(ArchiveTest, OpenRefusesWhatIsNoArchive) {
  for (const wchar_t* name : {L"truncated.zip", L"not-a-zip.zip", L"missing.zip"}) {
    EXPECT_EQ(ArchiveOpen(Fixture(name).c_str(), nullptr), nullptr) << std::string(name, name + wcslen(name));
  }
  EXPECT_EQ(ArchiveOpen(nullptr, nullptr), nullptr);
}

TEST_F(ArchiveTest, EmptyArchiveHasNoItems) {
  Open(L"empty.zip");
  ArchiveItem item;
  ASSERT_EQ(ArchiveGetItem(handle_, -1, &item), ARCHIVE_OK);
  EXPECT_EQ(item.index, 0);
  EXPECT_EQ(ArchiveGetItem(handle_, 0, &item), ARCHIVE_E_ARGS);
}

TEST_F(ArchiveTest, PackageLandsBelowTheBaseFolderWithItsFolders) {
  Open(L"package.zip");
  for (int32_t i = 0; i < 6; ++i) {
    ArchiveItem item;
    int32_t rc = Extract(i, &item);
    EXPECT_TRUE(rc == ARCHIVE_OK || (rc == ARCHIVE_E_INFLATE && item.size == 0)) << i << " " << rc;
  }
  EXPECT_EQ(Read(base_ + L"QuorviPhoneAx\\Quorvi.exe"), "MZ" + std::string(4000, '\0'));
  EXPECT_EQ(Read(base_ + L"QuorviPhoneAx\\data\\skins\\\u84dd\u8272.dat").size(), 12000u);
  std::string bin = Read(base_ + L"QuorviPhoneAx\\lib\\deep\\er\\file.bin");
  ASSERT_EQ(bin.size(), 51200u);
  EXPECT_EQ(static_cast<unsigned char>(bin[300]), 300 % 256);
}

TEST_F(ArchiveTest, BaseFolderIsCreatedOneLevelOnly) {
  base_ = root_ + L"missing\\base\\";
  Open(L"three.zip");
  EXPECT_EQ(Extract(0), ARCHIVE_E_FILE);  // the parent of the base folder is not made
  ArchiveClose(handle_);
  handle_ = nullptr;
  base_ = root_ + L"one-level";  // no trailing separator: one is added
  Open(L"three.zip");
  EXPECT_EQ(Extract(0), ARCHIVE_OK);
  EXPECT_EQ(Read(root_ + L"one-level\\1.txt"), "1");
}

struct AttributeCase {
  const wchar_t* path;
  DWORD attributes;
};

TEST_F(ArchiveTest, AttributesFromUnixAndDosHosts) {
  Open(L"attributes.zip");
  for (int32_t i = 0; i < 6; ++i) ASSERT_EQ(Extract(i), ARCHIVE_OK) << i;
  const AttributeCase cases[] = {
      {L"unix", FILE_ATTRIBUTE_DIRECTORY},
      {L"unix\\readonly.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
      {L"unix\\writable.txt", FILE_ATTRIBUTE_ARCHIVE},
      {L"dos\\hidden.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
      {L"dos\\system.txt", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},
      {L"dos\\readonly.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
  };
  const DWORD kChecked = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;
  for (const AttributeCase& c : cases) {
    DWORD got = GetFileAttributesW((base_ + c.path).c_str());
    ASSERT_NE(got, INVALID_FILE_ATTRIBUTES) << std::wstring(c.path).size();
    // Wine keeps no archive bit for folders; the others must match exactly
    DWORD mask = (c.attributes & FILE_ATTRIBUTE_DIRECTORY) ? FILE_ATTRIBUTE_DIRECTORY : kChecked;
    EXPECT_EQ(got & mask, c.attributes & mask) << "item " << (&c - cases);
  }
  ArchiveItem item;
  ASSERT_EQ(ArchiveGetItem(handle_, 0, &item), ARCHIVE_OK);
  EXPECT_EQ(item.attributes, 0x30u);
  ASSERT_EQ(ArchiveGetItem(handle_, 1, &item), ARCHIVE_OK);
  EXPECT_EQ(item.attributes, 0x21u);
}

int64_t AsInt(const FILETIME& ft) { return (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }
int64_t FromUnix(int64_t s) { return (s + 11644473600LL) * 10000000LL; }

TEST_F(ArchiveTest, TimesFromDosStampAndExtendedTimestamp) {
  // the tests run with TZ=Asia/Shanghai: 13:45:58 local is 05:45:58 UTC
  SYSTEMTIME utc = {2021, 7, 0, 15, 5, 45, 58, 0};
  FILETIME dosFt;
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &dosFt));
  const int64_t dos = AsInt(dosFt);
  struct TimeCase {
    int32_t index;
    int64_t write, access, creation;
  } cases[] = {
      {0, dos, dos, dos},
      {1, FromUnix(1600000000), dos, dos},
      {2, FromUnix(1500000000), FromUnix(1500000100), FromUnix(1400000000)},
      {3, dos, dos, dos},  // a block only in the central directory is not read
  };
  Open(L"times.zip");
  for (const TimeCase& c : cases) {
    ArchiveItem item;
    ASSERT_EQ(Extract(c.index, &item), ARCHIVE_OK);
    UniqueFileHandle file(CreateFileW((base_ + item.name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    FILETIME creation, access, write;
    ASSERT_TRUE(GetFileTime(file.get(), &creation, &access, &write));
    EXPECT_EQ(AsInt(write), c.write) << c.index;
    EXPECT_EQ(AsInt(access), c.access) << c.index;
    // Wine keeps no creation time of its own on Linux file systems: the record tells it
    EXPECT_EQ(AsInt(item.creationTime), c.creation) << c.index;
  }
}

struct NameCase {
  int32_t index;
  const wchar_t* name;  // null: refused
  int32_t code;
};

TEST_F(ArchiveTest, NamesAreStrippedAndNothingLandsOutside) {
  const NameCase cases[] = {
      {0, L"x\\drive.txt", ARCHIVE_OK},       {1, L"x\\backslash.txt", ARCHIVE_OK},
      {2, L"x/slash.txt", ARCHIVE_OK},        {3, L"c.txt", ARCHIVE_OK},
      {4, nullptr, ARCHIVE_E_UNSAFE_NAME},    {5, nullptr, ARCHIVE_E_UNSAFE_NAME},
      {6, L"last.txt", ARCHIVE_OK},
  };
  Open(L"names.zip");
  for (const NameCase& c : cases) {
    ArchiveItem item;
    EXPECT_EQ(ArchiveGetItem(handle_, c.index, &item), c.code) << c.index;
    if (c.name) {
      EXPECT_STREQ(item.name, c.name);
      EXPECT_EQ(ArchiveExtractItem(handle_, c.index, item.name), ARCHIVE_OK);
      EXPECT_TRUE(Exists(base_ + c.name));
    } else {
      EXPECT_EQ(ArchiveExtractItem(handle_, c.index, L"whatever.txt"), c.code) << c.index;
    }
  }
  // a caller's relative target with a parent step is refused as well
  EXPECT_EQ(ArchiveExtractItem(handle_, 6, L"..\\escape.txt"), ARCHIVE_E_UNSAFE_NAME);
  EXPECT_FALSE(Exists(root_ + L"evil.txt"));
  EXPECT_FALSE(Exists(root_ + L"evil2.txt"));
  EXPECT_FALSE(Exists(root_ + L"escape.txt"));
}

TEST_F(ArchiveTest, AbsoluteTargetIsUsedAsGiven) {
  Open(L"three.zip");
  std::wstring target = root_ + L"elsewhere\\deeper\\one.txt";
  EXPECT_EQ(ArchiveExtractItem(handle_, 0, target.c_str()), ARCHIVE_OK);
  EXPECT_EQ(Read(target), "1");
}

TEST_F(ArchiveTest, ZeroLengthMemberLeavesAnEmptyFileAndReportsInflate) {
  Open(L"zero-length.zip");
  ArchiveItem item;
  EXPECT_EQ(Extract(1, &item), ARCHIVE_E_INFLATE);
  EXPECT_EQ(item.size, 0);
  ASSERT_TRUE(Exists(base_ + L"empty.txt"));
  EXPECT_EQ(Read(base_ + L"empty.txt"), "");
  EXPECT_EQ(Extract(2), ARCHIVE_OK);
}

// Wine running as root writes over read-only files (Unix permissions do not stop
// root), so the targets that cannot be created here are a file another handle
// holds without sharing and a folder of the same name.
TEST_F(ArchiveTest, ExistingTargets) {
  CreateDirectoryW(base_.c_str(), nullptr);
  Write(base_ + L"1.txt", "old and longer");
  Write(base_ + L"2.txt", "old");
  CreateDirectoryW((base_ + L"3.txt").c_str(), nullptr);
  Open(L"three.zip");
  EXPECT_EQ(Extract(0), ARCHIVE_OK);
  EXPECT_EQ(Read(base_ + L"1.txt"), "1");
  {
    UniqueFileHandle held(CreateFileW((base_ + L"2.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(Extract(1), ARCHIVE_E_FILE);
  }
  EXPECT_EQ(Read(base_ + L"2.txt"), "old");
  EXPECT_EQ(Extract(2), ARCHIVE_E_FILE);
}

TEST_F(ArchiveTest, DamagedDataIsNeverReportedAsGood) {
  struct {
    const wchar_t* fixture;
    int32_t index;
  } cases[] = {{L"damaged-middle.zip", 1}, {L"damaged-last.zip", 2}, {L"bad-crc.zip", 0}};
  for (const auto& c : cases) {
    handle_ = ArchiveOpen(Fixture(c.fixture).c_str(), nullptr);
    ASSERT_NE(handle_, nullptr);
    ASSERT_EQ(ArchiveSetBaseFolder(handle_, base_.c_str()), ARCHIVE_OK);
    for (int32_t i = 0; i < c.index; ++i) EXPECT_EQ(Extract(i), ARCHIVE_OK);
    EXPECT_EQ(Extract(c.index), ARCHIVE_E_INFLATE) << c.index;
    ArchiveClose(handle_);
    handle_ = nullptr;
  }
}

TEST_F(ArchiveTest, EncryptedMemberNeedsTheRightPassword) {
  struct {
    const char* password;
    int32_t code;
  } cases[] = {{"right", ARCHIVE_OK}, {"wrong", ARCHIVE_E_PASSWORD}, {nullptr, ARCHIVE_E_PASSWORD}, {"", ARCHIVE_E_PASSWORD}};
  for (const auto& c : cases) {
    Open(L"encrypted.zip", c.password);
    EXPECT_EQ(Extract(0), ARCHIVE_OK);  // a plain member opens with any password
    EXPECT_EQ(Extract(1), c.code) << (c.password ? c.password : "(none)");
    EXPECT_EQ(Extract(2), c.code);
    if (c.code == ARCHIVE_OK) {
      EXPECT_EQ(Read(base_ + L"secret.txt").size(), 12000u);
      EXPECT_EQ(Read(base_ + L"stored-secret.txt"), "stored secret");
    }
    EXPECT_EQ(Extract(3), ARCHIVE_OK);
    ArchiveClose(handle_);
    handle_ = nullptr;
  }
}

TEST_F(ArchiveTest, OverlongPathsAreRefused) {
  Open(L"long-name.zip");
  ArchiveItem item;
  EXPECT_EQ(ArchiveGetItem(handle_, 1, &item), ARCHIVE_E_TOO_LONG);
  EXPECT_EQ(ArchiveExtractItem(handle_, 1, L"short.txt"), ARCHIVE_E_TOO_LONG);
  EXPECT_EQ(Extract(2), ARCHIVE_OK);

  std::wstring longBase = L"C:\\" + std::wstring(257, L'b');  // 260 with the separator added
  EXPECT_EQ(ArchiveSetBaseFolder(handle_, longBase.c_str()), ARCHIVE_E_TOO_LONG);
  std::wstring nearBase = root_ + std::wstring(250 - root_.size(), L'n') + L"\\";
  ASSERT_EQ(ArchiveSetBaseFolder(handle_, nearBase.c_str()), ARCHIVE_OK);
  EXPECT_EQ(ArchiveExtractItem(handle_, 0, L"folder\\ok-but-too-long.txt"), ARCHIVE_E_TOO_LONG);
}

TEST_F(ArchiveTest, RevisitingItemsInAnyOrder) {
  Open(L"three.zip");
  ArchiveItem item;
  ASSERT_EQ(ArchiveGetItem(handle_, 2, &item), ARCHIVE_OK);
  EXPECT_STREQ(item.name, L"3.txt");
  ASSERT_EQ(ArchiveGetItem(handle_, 0, &item), ARCHIVE_OK);  // restarts from the first entry
  EXPECT_STREQ(item.name, L"1.txt");
  EXPECT_EQ(item.index, 0);
  // extracting an index whose record is remembered still reads that entry's data
  ASSERT_EQ(ArchiveGetItem(handle_, 2, &item), ARCHIVE_OK);
  EXPECT_EQ(ArchiveExtractItem(handle_, 2, L"again.txt"), ARCHIVE_OK);
  EXPECT_EQ(ArchiveExtractItem(handle_, 2, L"again2.txt"), ARCHIVE_OK);
  EXPECT_EQ(ArchiveExtractItem(handle_, 1, L"two.txt"), ARCHIVE_OK);
  EXPECT_EQ(Read(base_ + L"again.txt"), "3");
  EXPECT_EQ(Read(base_ + L"again2.txt"), "3");
  EXPECT_EQ(Read(base_ + L"two.txt"), "2");
}

TEST_F(ArchiveTest, DefaultBaseFolderIsTheCurrentDirectory) {
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(root_.c_str()));
  handle_ = ArchiveOpen(Fixture(L"three.zip").c_str(), nullptr);
  ASSERT_NE(handle_, nullptr);
  EXPECT_EQ(Extract(0), ARCHIVE_OK);
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(Read(root_ + L"1.txt"), "1");
}

}  // namespace
