#include "extract/archive.h"

#include <unzip.h>
// after unzip.h, which brings the zlib declarations it relies on
#include <iowin32.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/raii.h"

struct ArchiveHandle {
  unzFile zip = nullptr;
  std::wstring baseFolder;
  std::optional<std::string> password;
  ArchiveItem remembered;
  int32_t rememberedIndex = -1;
  std::unique_ptr<char[]> buffer;
  int64_t entryCount = 0;
  int64_t current = -1;  // minizip's current entry number, -1 when unknown
  bool entryOpen = false;
};

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Steps forward through the central directory; restarts from the first entry
// only when a lower index is wanted. An entry minizip cannot step past ends
// the walk instead of being stepped over again.
int32_t Position(ArchiveHandle* h, int32_t index) {
  if (h->current < 0 || index < h->current) {
    h->current = -1;
    if (unzGoToFirstFile(h->zip) != UNZ_OK) return ARCHIVE_E_CORRUPT;
    h->current = 0;
  }
  while (h->current < index) {
    if (unzGoToNextFile(h->zip) != UNZ_OK) {
      h->current = -1;
      return ARCHIVE_E_CORRUPT;
    }
    ++h->current;
  }
  return ARCHIVE_OK;
}

FILETIME ToFileTime(int64_t value) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFF);
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(value) >> 32);
  return ft;
}

bool IsZero(const FILETIME& ft) { return ft.dwLowDateTime == 0 && ft.dwHighDateTime == 0; }

// DOS stamps are local time. A stamp that is no valid date leaves the time zero,
// and a zero time is not applied: the file keeps the time of its creation.
FILETIME DosStampToUtc(uint32_t stamp) {
  zipcore::DosStamp d = zipcore::SplitDosStamp(stamp);
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(d.year);
  st.wMonth = static_cast<WORD>(d.month);
  st.wDay = static_cast<WORD>(d.day);
  st.wHour = static_cast<WORD>(d.hour);
  st.wMinute = static_cast<WORD>(d.minute);
  st.wSecond = static_cast<WORD>(d.second);
  FILETIME local = {}, utc = {};
  if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) return FILETIME{};
  return utc;
}

// Describes the current entry (already positioned) into item.
int32_t Describe(ArchiveHandle* h, ArchiveItem* item) {
  unz_file_info64 info = {};
  if (unzGetCurrentFileInfo64(h->zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return ARCHIVE_E_CORRUPT;
  std::vector<char> nameBytes(info.size_filename + 1);
  if (unzGetCurrentFileInfo64(h->zip, &info, nameBytes.data(), static_cast<uLong>(nameBytes.size()), nullptr, 0,
                              nullptr, 0) != UNZ_OK)
    return ARCHIVE_E_CORRUPT;

  // a raw open checks the local header against the directory entry
  if (unzOpenCurrentFile2(h->zip, nullptr, nullptr, 1) != UNZ_OK) return ARCHIVE_E_CORRUPT;
  h->entryOpen = true;
  int extraLength = unzGetLocalExtrafield(h->zip, nullptr, 0);
  std::vector<uint8_t> extra(extraLength > 0 ? extraLength : 0);
  int got = extraLength > 0 ? unzGetLocalExtrafield(h->zip, extra.data(), static_cast<unsigned>(extra.size())) : 0;
  unzCloseCurrentFile(h->zip);
  h->entryOpen = false;
  if (extraLength < 0 || got != extraLength) return ARCHIVE_E_READ;

  std::wstring name = zipcore::DecodeUtf8(nameBytes.data(), info.size_filename);
  name = zipcore::StripMemberName(std::move(name));
  if (name.size() >= zipcore::kMaxPathUnits) return ARCHIVE_E_TOO_LONG;
  if (zipcore::HasParentStep(name)) return ARCHIVE_E_UNSAFE_NAME;

  item->index = static_cast<int32_t>(h->current);
  wcscpy(item->name, name.c_str());
  item->attributes = zipcore::MapAttributes(static_cast<uint8_t>(info.version >> 8), static_cast<uint32_t>(info.external_fa));
  item->compressedSize = static_cast<int32_t>(info.compressed_size);
  item->size = static_cast<int32_t>(info.uncompressed_size);
  FILETIME utc = DosStampToUtc(static_cast<uint32_t>(info.dosDate));
  item->accessTime = item->creationTime = item->writeTime = utc;
  zipcore::ExtendedTimes ut = zipcore::WalkExtendedTimestamp(extra.data(), extra.size());
  if (ut.hasWrite) item->writeTime = ToFileTime(ut.write);
  if (ut.hasAccess) item->accessTime = ToFileTime(ut.access);
  if (ut.hasCreation) item->creationTime = ToFileTime(ut.creation);
  return ARCHIVE_OK;
}

// Positions on index and gives its record, from memory when it was the last one described.
int32_t Lookup(ArchiveHandle* h, int32_t index, ArchiveItem* item) {
  int32_t rc = Position(h, index);
  if (rc != ARCHIVE_OK) return rc;
  if (index == h->rememberedIndex) {
    *item = h->remembered;
    return ARCHIVE_OK;
  }
  rc = Describe(h, item);
  if (rc != ARCHIVE_OK) return rc;
  h->remembered = *item;
  h->rememberedIndex = index;
  return ARCHIVE_OK;
}

bool EntryIsEncrypted(ArchiveHandle* h) {
  unz_file_info64 info = {};
  return unzGetCurrentFileInfo64(h->zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK && (info.flag & 1);
}

// minizip does not find an end record at offset 0, so it refuses the smallest
// valid archive: one with no entries at all (22 bytes plus an optional comment).
bool IsEmptyArchive(const wchar_t* path) {
  UniqueFileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  uint8_t record[22];
  DWORD got = 0;
  if (!file || !ReadFile(file.get(), record, sizeof record, &got, nullptr) || got != sizeof record) return false;
  LARGE_INTEGER size = {};
  GetFileSizeEx(file.get(), &size);
  const uint8_t signature[4] = {0x50, 0x4B, 0x05, 0x06};
  bool zeroEntries = record[8] == 0 && record[9] == 0 && record[10] == 0 && record[11] == 0;
  size_t commentLength = record[20] | (record[21] << 8);
  return memcmp(record, signature, 4) == 0 && zeroEntries && static_cast<uint64_t>(size.QuadPart) == 22 + commentLength;
}

// The traditional encryption header's last byte must match; minizip itself
// decrypts without checking, so a wrong password would only show as garbage.
int32_t CheckPassword(ArchiveHandle* h) {
  unz_file_info64 info = {};
  if (unzGetCurrentFileInfo64(h->zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return ARCHIVE_E_CORRUPT;
  if ((info.flag & 1) == 0) return ARCHIVE_OK;
  if (!h->password) return ARCHIVE_E_PASSWORD;
  if (unzOpenCurrentFile2(h->zip, nullptr, nullptr, 1) != UNZ_OK) return ARCHIVE_E_CORRUPT;
  uint8_t header[12];
  int got = unzReadCurrentFile(h->zip, header, sizeof header);
  unzCloseCurrentFile(h->zip);
  if (got != static_cast<int>(sizeof header)) return ARCHIVE_E_PASSWORD;
  // with sizes after the data (flag bit 3) the check byte comes from the DOS time
  uint8_t check = (info.flag & 8) ? static_cast<uint8_t>((info.dosDate >> 8) & 0xFF)
                                  : static_cast<uint8_t>(info.crc >> 24);
  return zipcore::ZipCryptoHeaderMatches(*h->password, header, check) ? ARCHIVE_OK : ARCHIVE_E_PASSWORD;
}

}  // namespace

void EnsureFolderPath(const wchar_t* base, const wchar_t* folder) {
  std::wstring basePath = base ? base : L"";
  if (base && !Exists(basePath)) CreateDirectoryW(basePath.c_str(), nullptr);
  if (folder == nullptr || folder[0] == 0) return;
  std::wstring part = folder;
  size_t last = part.find_last_of(L"\\/");
  if (last != std::wstring::npos && last != 0) EnsureFolderPath(base, part.substr(0, last).c_str());
  std::wstring full = basePath + part;
  if (!Exists(full)) CreateDirectoryW(full.c_str(), nullptr);
}

ArchiveHandle* ArchiveOpen(const wchar_t* path, const char* password) {
  if (path == nullptr) return nullptr;
  auto h = std::make_unique<ArchiveHandle>();
  if (password) h->password = std::string(password);

  wchar_t current[zipcore::kMaxPathUnits] = {};
  DWORD n = GetCurrentDirectoryW(zipcore::kMaxPathUnits, current);
  if (n > 0 && n < zipcore::kMaxPathUnits) {
    h->baseFolder = current;
    if (!IsSeparator(h->baseFolder.back()) && h->baseFolder.size() + 1 < zipcore::kMaxPathUnits) h->baseFolder += L'\\';
  }

  // opened here with read sharing and handed to minizip through its Win32 file functions
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  UniqueFileHandle probe(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!probe) return nullptr;
  probe.reset();
  h->zip = unzOpen2_64(path, &functions);
  if (h->zip == nullptr) {
    if (!IsEmptyArchive(path)) return nullptr;
    return h.release();  // no entries: every index is out of range
  }
  unz_global_info64 global = {};
  if (unzGetGlobalInfo64(h->zip, &global) != UNZ_OK) {
    unzClose(h->zip);
    return nullptr;
  }
  h->entryCount = static_cast<int64_t>(global.number_entry);
  h->current = h->entryCount > 0 ? 0 : -1;  // minizip opens on the first entry
  return h.release();
}

int32_t ArchiveSetBaseFolder(ArchiveHandle* handle, const wchar_t* folder) {
  if (handle == nullptr || folder == nullptr) return ARCHIVE_E_ARGS;
  std::wstring base = folder;
  if (base.empty() || !IsSeparator(base.back())) base += L'\\';
  if (base.size() >= zipcore::kMaxPathUnits) return ARCHIVE_E_TOO_LONG;
  handle->baseFolder = std::move(base);
  return ARCHIVE_OK;
}

int32_t ArchiveGetItem(ArchiveHandle* handle, int32_t index, ArchiveItem* item) {
  if (item == nullptr) return ARCHIVE_E_ARGS;
  item->index = 0;
  item->name[0] = 0;
  item->size = 0;
  if (handle == nullptr) return ARCHIVE_E_ARGS;
  if (index < -1 || index >= handle->entryCount) return ARCHIVE_E_ARGS;
  if (index == -1) {
    *item = ArchiveItem{};
    item->index = static_cast<int32_t>(handle->entryCount);
    return ARCHIVE_OK;
  }
  if (index == handle->rememberedIndex) {
    *item = handle->remembered;
    return ARCHIVE_OK;
  }
  return Lookup(handle, index, item);
}

int32_t ArchiveExtractItem(ArchiveHandle* handle, int32_t index, const wchar_t* target) {
  if (handle == nullptr || target == nullptr) return ARCHIVE_E_ARGS;
  if (index < 0 || index >= handle->entryCount) return ARCHIVE_E_ARGS;
  ArchiveItem item;
  int32_t rc = Lookup(handle, index, &item);
  if (rc != ARCHIVE_OK) return rc;

  std::wstring name = target;
  const std::wstring& base = handle->baseFolder;
  bool absolute = (!name.empty() && IsSeparator(name[0])) || (name.size() >= 2 && name[1] == L':');
  if (!absolute && zipcore::HasParentStep(name)) return ARCHIVE_E_UNSAFE_NAME;

  if (item.attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if ((absolute ? name.size() : base.size() + name.size()) >= zipcore::kMaxPathUnits) return ARCHIVE_E_TOO_LONG;
    if (absolute)
      EnsureFolderPath(nullptr, name.c_str());
    else
      EnsureFolderPath(base.c_str(), name.c_str());
    return ARCHIVE_OK;
  }

  size_t split = name.find_last_of(L"\\/");
  std::wstring folderPart = split == std::wstring::npos ? L"" : name.substr(0, split + 1);
  std::wstring fileName = split == std::wstring::npos ? name : name.substr(split + 1);
  bool absoluteFolder = !folderPart.empty() && absolute;
  std::wstring full = absoluteFolder ? folderPart + fileName : base + folderPart + fileName;
  if (full.size() >= zipcore::kMaxPathUnits) return ARCHIVE_E_TOO_LONG;
  if (absoluteFolder)
    EnsureFolderPath(nullptr, folderPart.c_str());
  else
    EnsureFolderPath(base.c_str(), folderPart.c_str());

  UniqueFileHandle file(CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, item.attributes, nullptr));
  if (!file) return ARCHIVE_E_FILE;

  rc = CheckPassword(handle);
  if (rc != ARCHIVE_OK) return rc;
  // minizip decrypts whenever it is given a password, so only encrypted entries get one
  const char* password = handle->password && EntryIsEncrypted(handle) ? handle->password->c_str() : nullptr;
  if (unzOpenCurrentFilePassword(handle->zip, password) == UNZ_OK) handle->entryOpen = true;
  if (!handle->buffer) handle->buffer = std::make_unique<char[]>(kArchiveBufferBytes);

  bool reachedEnd = false;
  for (;;) {
    int n = unzReadCurrentFile(handle->zip, handle->buffer.get(), kArchiveBufferBytes);
    if (n < 0) {
      rc = ARCHIVE_E_INFLATE;
      break;
    }
    if (n > 0) {
      DWORD written = 0;
      if (!WriteFile(file.get(), handle->buffer.get(), static_cast<DWORD>(n), &written, nullptr) ||
          written != static_cast<DWORD>(n)) {
        rc = ARCHIVE_E_WRITE;
        break;
      }
    }
    // the end counts only together with data: an empty entry reports no end
    if (n > 0 && unzeof(handle->zip) == 1) {
      reachedEnd = true;
      rc = ARCHIVE_OK;
      break;
    }
    if (n == 0) {
      rc = ARCHIVE_E_INFLATE;
      break;
    }
  }
  if (reachedEnd) {
    SetFileTime(file.get(), IsZero(item.creationTime) ? nullptr : &item.creationTime,
                IsZero(item.accessTime) ? nullptr : &item.accessTime,
                IsZero(item.writeTime) ? nullptr : &item.writeTime);
  }
  file.reset();
  if (handle->entryOpen) {
    // a whole entry read with the wrong CRC is damaged data, not a good file
    int closeResult = unzCloseCurrentFile(handle->zip);
    handle->entryOpen = false;
    if (reachedEnd && closeResult == UNZ_CRCERROR) rc = ARCHIVE_E_INFLATE;
  }
  return rc;
}

int32_t ArchiveClose(ArchiveHandle* handle) {
  if (handle == nullptr) return ARCHIVE_E_ARGS;
  if (handle->entryOpen) unzCloseCurrentFile(handle->zip);
  if (handle->zip) unzClose(handle->zip);
  delete handle;
  return ARCHIVE_OK;
}
