// Arithmetic and text rules of the install workflow that need no window:
// folder normalisation and limits, the progress gate, percentages.
#pragma once
#include <cstdint>
#include <string>

namespace workflow {

// The package as it lies in the temporary folder after the download.
inline constexpr wchar_t kArchiveName[] = L"QuorviPhoneAx.zip";

// The installed application and uninstaller, below the install folder.
inline constexpr wchar_t kAppRelative[] = L"QuorviPhoneAx\\Quorvi.exe";
inline constexpr wchar_t kUninstallRelative[] = L"QuorviPhoneAx\\QuorviUnInstall.exe";

// The folder is copied into a 200-unit buffer to be created and joined with the
// uninstaller's name into 260-unit buffers; a longer folder is refused.
inline constexpr size_t kCreateFolderUnits = 200;
inline constexpr size_t kPathUnits = 260;

// Appends one backslash unless the text already ends with one (an empty text
// becomes "\", the root of the current drive).
std::wstring NormalizeFolder(std::wstring text);

// True when the normalised folder fits every buffer it is copied into.
bool FolderFitsBuffers(const std::wstring& folder);

// Removes wide white space from both ends.
std::wstring TrimSpaces(const std::wstring& text);

// "37%".
std::wstring FormatPercent(int percent);

// Item index (unsigned) times 100 over the item count (signed), truncated.
// A count of zero or less gives 0.
int ExtractPercent(uintptr_t index, intptr_t count);

// Download progress reaches the window at most every 500 ms and only with a
// changed percentage; a report dropped by the time gate is lost.
class ProgressGate {
 public:
  static constexpr uint32_t kGateMs = 500;
  // Returns true when the percentage is to be posted.
  bool Offer(uint32_t nowTick, uint32_t percent);

 private:
  uint32_t lastReportTick_ = 0;
  uint32_t lastPercent_ = 0;
};

}  // namespace workflow
