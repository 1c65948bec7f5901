#include "app/workflow_core.h"

#include "download/download_core.h"

namespace workflow {

std::wstring NormalizeFolder(std::wstring text) {
  if (text.empty() || text.back() != L'\\') text += L'\\';
  return text;
}

bool FolderFitsBuffers(const std::wstring& folder) {
  const size_t longestJoin = sizeof(kUninstallRelative) / sizeof(wchar_t) - 1;
  return folder.size() < kCreateFolderUnits && folder.size() + longestJoin < kPathUnits;
}

// The classification is Windows' own, not the C locale's, on every build.
std::wstring TrimSpaces(const std::wstring& text) { return dlcore::Trim(text); }

std::wstring FormatPercent(int percent) { return std::to_wstring(percent) + L"%"; }

int ExtractPercent(uintptr_t index, intptr_t count) {
  if (count <= 0) return 0;
  return static_cast<int>(static_cast<double>(index) * 100.0 / static_cast<double>(count));
}

bool ProgressGate::Offer(uint32_t nowTick, uint32_t percent) {
  // unsigned difference: the tick count wraps after 49.7 days
  if (lastReportTick_ != 0 && nowTick - lastReportTick_ <= kGateMs) return false;
  lastReportTick_ = nowTick;
  if (percent == lastPercent_) return false;
  lastPercent_ = percent;
  return true;
}

}  // namespace workflow
