// Item-oriented zip archive reader over minizip: describe item i, write item i
// below a base folder with its attributes and file times. One result code per call.
#pragma once
#include <windows.h>

#include <cstdint>

#include "extract/zip_core.h"

constexpr int32_t ARCHIVE_OK = 0;
constexpr int32_t ARCHIVE_E_FILE = 0x200;          // archive does not open, or target not created
constexpr int32_t ARCHIVE_E_WRITE = 0x400;         // writing the target failed
constexpr int32_t ARCHIVE_E_CORRUPT = 0x700;       // local header does not match, or the directory cannot be walked
constexpr int32_t ARCHIVE_E_READ = 0x800;          // local extra field unreadable
constexpr int32_t ARCHIVE_E_PASSWORD = 0x1000;     // encrypted item, password check failed
constexpr int32_t ARCHIVE_E_UNSAFE_NAME = 0x2000;  // name still leads out of the base folder after stripping
constexpr int32_t ARCHIVE_E_TOO_LONG = 0x3000;     // base folder, name or joined path over 259 units
constexpr int32_t ARCHIVE_E_ARGS = 0x10000;        // no handle, or index out of range
constexpr int32_t ARCHIVE_E_INFLATE = 0x5000000;   // data unreadable, or no data before the end

constexpr size_t kArchiveBufferBytes = 16384;

struct ArchiveItem {
  int32_t index = 0;
  wchar_t name[zipcore::kMaxPathUnits] = {};
  uint32_t attributes = 0;
  FILETIME accessTime = {};
  FILETIME creationTime = {};
  FILETIME writeTime = {};
  int32_t compressedSize = 0;
  int32_t size = 0;
};

struct ArchiveHandle;

// password may be null (no password).
[[nodiscard]] ArchiveHandle* ArchiveOpen(const wchar_t* path, const char* password);
[[nodiscard]] int32_t ArchiveSetBaseFolder(ArchiveHandle* handle, const wchar_t* folder);
// index -1 asks for the number of items (in item->index).
[[nodiscard]] int32_t ArchiveGetItem(ArchiveHandle* handle, int32_t index, ArchiveItem* item);
[[nodiscard]] int32_t ArchiveExtractItem(ArchiveHandle* handle, int32_t index, const wchar_t* target);
int32_t ArchiveClose(ArchiveHandle* handle);

// Creates base (one level) if missing, then every level of folder below it.
// Failures are left for the following file creation to report.
void EnsureFolderPath(const wchar_t* base, const wchar_t* folder);
