// The install folder helpers against the real Wine file system and shell.
#include "app/install_folder.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

namespace {

std::wstring TempRoot(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name + L"\\";
}

bool IsFolder(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(DefaultInstallFolder, IsProgramFilesWithABackslash) {
  wchar_t expected[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, expected)));
  EXPECT_EQ(DefaultInstallFolder(), std::wstring(expected) + L"\\");
}

TEST(CreateInstallFolder, CreatesOneLevelOnly) {
  std::wstring root = TempRoot(L"quorvi-folder-test");
  RemoveDirectoryW((root + L"A\\B").c_str());
  RemoveDirectoryW((root + L"A").c_str());
  RemoveDirectoryW(root.c_str());

  EXPECT_FALSE(CreateInstallFolder(root + L"A\\B\\"));  // parents missing: nothing is made
  EXPECT_FALSE(IsFolder(root));
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"A").c_str(), nullptr));
  EXPECT_TRUE(CreateInstallFolder(root + L"A\\B\\"));
  EXPECT_TRUE(IsFolder(root + L"A\\B"));
  EXPECT_TRUE(CreateInstallFolder(root + L"A\\B\\"));  // exists already
  EXPECT_TRUE(CreateInstallFolder(root + L"A\\B"));    // without the trailing backslash too

  // a folder that does not fit the 200-unit copy is refused, not truncated
  std::wstring longName = root + std::wstring(200 - root.size(), L'x') + L"\\";
  EXPECT_FALSE(CreateInstallFolder(longName));
  EXPECT_FALSE(IsFolder(longName));

  RemoveDirectoryW((root + L"A\\B").c_str());
  RemoveDirectoryW((root + L"A").c_str());
  RemoveDirectoryW(root.c_str());
}

TEST(ReadFolderText, ReadsAnyLength) {
  HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
  std::wstring text;
  ReadFolderText(edit, text);
  EXPECT_EQ(text, L"");
  std::wstring longText = L"D:\\" + std::wstring(5000, L'\u76ee');
  SetWindowTextW(edit, longText.c_str());
  ReadFolderText(edit, text);
  EXPECT_EQ(text, longText);
  DestroyWindow(edit);
}

TEST(BrowseForFolder, NoResultNoBrowser) { EXPECT_FALSE(BrowseForFolder(nullptr, L"C:\\")); }

}  // namespace
