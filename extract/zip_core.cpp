#include "extract/zip_core.h"

#include <array>

namespace zipcore {

std::wstring DecodeUtf8(const char* bytes, size_t length) {
  std::wstring out;
  const auto* s = reinterpret_cast<const uint8_t*>(bytes);
  size_t i = 0;
  auto put = [&out](uint32_t cp) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
  };
  while (i < length) {
    uint8_t b = s[i];
    int extra;
    uint32_t cp, min;
    if (b < 0x80) { put(b); ++i; continue; }
    if ((b & 0xE0) == 0xC0) { extra = 1; cp = b & 0x1F; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { extra = 2; cp = b & 0x0F; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { extra = 3; cp = b & 0x07; min = 0x10000; }
    else { put(0xFFFD); ++i; continue; }
    size_t j = 1;
    for (; j <= static_cast<size_t>(extra); ++j) {
      if (i + j >= length || (s[i + j] & 0xC0) != 0x80) break;
      cp = (cp << 6) | (s[i + j] & 0x3F);
    }
    if (j <= static_cast<size_t>(extra) || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      put(0xFFFD);
      i += j;  // resynchronise at the first byte that did not continue the sequence
      continue;
    }
    put(cp);
    i += j;
  }
  return out;
}

static bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring StripMemberName(std::wstring name) {
  static const wchar_t* const kParentPatterns[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
  for (;;) {
    if (name.size() >= 2 && name[1] == L':') {
      name.erase(0, 2);
      continue;
    }
    if (!name.empty() && IsSeparator(name[0])) {
      name.erase(0, 1);
      continue;
    }
    bool cut = false;
    for (const wchar_t* pattern : kParentPatterns) {
      size_t at = name.find(pattern);
      if (at != std::wstring::npos) {
        name.erase(0, at + 4);
        cut = true;
        break;
      }
    }
    if (!cut) return name;
  }
}

bool HasParentStep(const std::wstring& name) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (end - start == 2 && name[start] == L'.' && name[start + 1] == L'.') return true;
    start = end + 1;
  }
  return false;
}

uint32_t MapAttributes(uint8_t madeByHost, uint32_t external) {
  bool directory, archive, hidden, readOnly, system;
  switch (madeByHost) {
    case 0: case 7: case 11: case 14:  // MS-DOS, Macintosh, NTFS, VFAT keep DOS bits
      readOnly = external & 0x01;
      hidden = external & 0x02;
      system = external & 0x04;
      directory = external & 0x10;
      archive = external & 0x20;
      break;
    default:  // Unix-style mode in the high 16 bits
      directory = external & (1u << 30);
      readOnly = !(external & (1u << 23));
      archive = true;
      hidden = system = false;
      break;
  }
  uint32_t attributes = 0;
  if (directory) attributes |= 0x10;
  if (archive) attributes |= 0x20;
  if (hidden) attributes |= 0x02;
  if (readOnly) attributes |= 0x01;
  if (system) attributes |= 0x04;
  return attributes;
}

DosStamp SplitDosStamp(uint32_t stamp) {
  uint32_t date = stamp >> 16, time = stamp & 0xFFFF;
  return DosStamp{static_cast<int>((date >> 9) + 1980), static_cast<int>((date >> 5) & 15),
                  static_cast<int>(date & 31), static_cast<int>(time >> 11),
                  static_cast<int>((time >> 5) & 63), static_cast<int>((time & 31) * 2)};
}

int64_t UnixSecondsToFileTime(int32_t seconds) {
  return (static_cast<int64_t>(seconds) + 11644473600LL) * 10000000LL;
}

static uint32_t ReadLe16(const uint8_t* p) { return p[0] | (p[1] << 8); }
static int32_t ReadLe32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

ExtendedTimes WalkExtendedTimestamp(const uint8_t* field, size_t length) {
  ExtendedTimes times;
  if (field == nullptr || length <= 4) return times;
  size_t pos = 0;
  while (pos + 4 < length) {
    size_t dataSize = ReadLe16(field + pos + 2);
    if (field[pos] == 'U' && field[pos + 1] == 'T') {
      size_t at = pos + 4;
      uint8_t flags = field[at];  // inside: pos + 4 < length
      ++at;
      struct Slot { int bit; bool* has; int64_t* value; };
      const Slot slots[] = {{0, &times.hasWrite, &times.write},
                            {1, &times.hasAccess, &times.access},
                            {2, &times.hasCreation, &times.creation}};
      for (const Slot& slot : slots) {
        if (!(flags & (1 << slot.bit))) continue;
        if (at + 4 > length) break;
        *slot.has = true;
        *slot.value = UnixSecondsToFileTime(ReadLe32(field + at));
        at += 4;
      }
      return times;
    }
    pos += 4 + dataSize;
  }
  return times;
}

namespace {
struct CrcTable {
  std::array<uint32_t, 256> entries{};
  CrcTable() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
  }
};
uint32_t CrcByte(uint32_t crc, uint8_t b) {
  static const CrcTable table;
  return table.entries[(crc ^ b) & 0xFF] ^ (crc >> 8);
}
struct ZipKeys {
  uint32_t k0 = 0x12345678, k1 = 0x23456789, k2 = 0x34567890;
  void Update(uint8_t c) {
    k0 = CrcByte(k0, c);
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
    k2 = CrcByte(k2, static_cast<uint8_t>(k1 >> 24));
  }
  uint8_t StreamByte() const {
    uint32_t t = (k2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
};
}  // namespace

bool ZipCryptoHeaderMatches(const std::string& password, const uint8_t header[12], uint8_t checkByte) {
  ZipKeys keys;
  for (char c : password) keys.Update(static_cast<uint8_t>(c));
  uint8_t plain = 0;
  for (int i = 0; i < 12; ++i) {
    plain = header[i] ^ keys.StreamByte();
    keys.Update(plain);
  }
  return plain == checkByte;
}

}  // namespace zipcore
