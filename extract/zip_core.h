// Pure zip-member logic: names, attributes, times, the extended-timestamp walk
// and the traditional-encryption header check. No OS calls; built natively too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace zipcore {

// Buffers of the reader hold this many UTF-16 units, terminator included.
inline constexpr size_t kMaxPathUnits = 260;

// Decodes UTF-8 into UTF-16. Malformed sequences become U+FFFD.
std::wstring DecodeUtf8(const char* bytes, size_t length);

// Applies the stripping rules to a member name until none applies: a drive
// prefix, one leading separator, and everything up to and including the
// first of "\..\", "\../", "/../", "/..\".
std::wstring StripMemberName(std::wstring name);

// True when a stripped name still has a ".." step anywhere (such as "../x",
// "a/..", ".."): it would lead out of the base folder.
bool HasParentStep(const std::wstring& name);

// Windows attribute bits from the made-by host and the external attributes.
uint32_t MapAttributes(uint8_t madeByHost, uint32_t externalAttributes);

struct DosStamp {
  int year, month, day, hour, minute, second;
};
DosStamp SplitDosStamp(uint32_t stamp);

// FILETIME units (100 ns since 1601-01-01 UTC) of a count of Unix seconds.
int64_t UnixSecondsToFileTime(int32_t seconds);

struct ExtendedTimes {
  bool hasWrite = false, hasAccess = false, hasCreation = false;
  int64_t write = 0, access = 0, creation = 0;  // FILETIME units
};
// Walks a local extra field for the "UT" block; only times whose four bytes
// lie inside the field are taken.
ExtendedTimes WalkExtendedTimestamp(const uint8_t* field, size_t length);

// Traditional zip encryption: decrypts the 12-byte header with the password
// and compares its last byte with the expected check byte (the CRC's high
// byte, or the DOS time's high byte when sizes follow the data).
bool ZipCryptoHeaderMatches(const std::string& password, const uint8_t header[12], uint8_t checkByte);

}  // namespace zipcore
