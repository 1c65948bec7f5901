// The install folder: its default, reading it back from the folder box, the
// folder browser and the one-level creation the workflow runs before it checks
// that the folder exists.
#pragma once
#include <windows.h>

#include <string>

// The program-files folder followed by "\" ("\" alone when the shell has none).
std::wstring DefaultInstallFolder();

// The whole text of the edit control, whatever its length.
void ReadFolderText(HWND edit, std::wstring& out);

// Shows the folder browser starting at initial. When the user picks a folder,
// result becomes its path with a trailing "\" (unchanged when the pick has no
// file-system path) and the answer is true; false on cancel or when the browser
// cannot be shown.
bool BrowseForFolder(std::wstring* result, const std::wstring& initial);

// Makes sure the last level of path exists; true when it existed or was made.
// A path that does not fit the 200-unit copy is refused (false).
bool CreateInstallFolder(const std::wstring& path);
