// When a video was taken, from its container:
// - QuickTime, MP4, 3GPP: the creation time of the movie header atom 'mvhd'
//   inside 'moov' (version 0: 32-bit, version 1: 64-bit seconds since
//   1904-01-01). 'moov' may stand after the media data, so the top-level
//   atoms are walked by their sizes, one 16-byte header read at a time.
// - ASF/WMV: the creation date of the File Properties object in the header
//   object, a FILETIME.
// - AVI: the 'IDIT' chunk many cameras write into the 'hdrl' list, text as
//   "Mon Mar 10 15:04:43 2003" or "2009/10/27 12:14:34" (also with ':' or
//   '-' between the date's numbers).
// A zero time, or the Unix epoch that tools write when they know none, is no
// date. Every offset is checked against the file's length and the bytes read.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "scan/byte_view.h"
#include "scan/filetime.h"
#include "scan/formats/capture_date.h"
#include "scan/formats/video_date.h"

namespace lumicarve {
namespace {

constexpr int kMaxAtoms = 256;
constexpr uint64_t kFiletimePerSecond = 10000000;
constexpr uint64_t kUnixEpochFiletime = 116444736000000000ull;

bool FromSeconds(uint64_t since, uint64_t seconds, uint64_t& filetime) {
  if (seconds == 0 || seconds > (~uint64_t{0} - since) / kFiletimePerSecond) return false;
  filetime = since + seconds * kFiletimePerSecond;
  return true;
}

bool QuickTimeDate(int handle, const FoundFile& file, uint64_t& filetime) {
  uint64_t moov = 0, moovEnd = 0, mvhd = 0, mvhdEnd = 0;
  if (!FindBox(handle, file, 0, file.length, "moov", moov, moovEnd) ||
      !FindBox(handle, file, moov, moovEnd, "mvhd", mvhd, mvhdEnd))
    return false;
  uint8_t body[12];
  const std::optional<ByteView> read = ReadFileHead(handle, file, mvhd, mvhdEnd, 8, sizeof body, body);
  if (!read) return false;
  const ByteView& v = *read;
  uint64_t seconds = 0;
  if (v.byte(0) == 1) {
    if (!v.u64be(4, seconds)) return false;
  } else {
    uint32_t s32 = 0;
    if (!v.u32be(4, s32)) return false;
    seconds = s32;
  }
  uint64_t since1904 = 0;
  CalendarTime epoch;
  epoch.year = 1904;
  epoch.month = 1;
  epoch.day = 1;
  return CalendarToFiletime(epoch, since1904) && FromSeconds(since1904, seconds, filetime) &&
         filetime != kUnixEpochFiletime;
}

bool AsfDate(int handle, const FoundFile& file, uint64_t& filetime) {
  static const uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  uint8_t head[30];
  if (!ReadFileBytes(handle, file, 0, sizeof head, head)) return false;
  ByteView hv(head, sizeof head);
  uint64_t headerSize = 0;
  uint32_t objects = 0;
  if (!hv.u64le(16, headerSize) || !hv.u32le(24, objects)) return false;
  if (headerSize > file.length) headerSize = file.length;
  uint64_t at = 30;
  for (uint32_t n = 0; n < objects && n < static_cast<uint32_t>(kMaxAtoms) && headerSize - at >= 24; ++n) {
    uint8_t object[56];
    const std::optional<ByteView> read = ReadFileHead(handle, file, at, headerSize, 24, sizeof object, object);
    if (!read) return false;
    const ByteView& v = *read;
    uint64_t objectSize = 0;
    v.u64le(16, objectSize);
    if (objectSize < 24 || objectSize > headerSize - at) return false;
    if (v.equals(0, kFileProperties, 16)) {
      uint64_t created = 0;
      if (!v.u64le(48, created) || created == 0 || created == kUnixEpochFiletime) return false;
      filetime = created;
      return true;
    }
    at += objectSize;
  }
  return false;
}

// "Mon Mar 10 15:04:43 2003", or year, month and day first with any of '/',
// ':' or '-' between them and the time after a blank.
bool ParseIdit(const char* text, CalendarTime& t) {
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  char weekday[4] = {}, month[4] = {};
  if (std::sscanf(text, "%3s %3s %d %d:%d:%d %d", weekday, month, &t.day, &t.hour, &t.minute, &t.second,
                  &t.year) == 7) {
    const char* m = std::strstr(kMonths, month);
    if (!m || std::strlen(month) != 3 || (m - kMonths) % 3 != 0) return false;
    t.month = static_cast<int>(m - kMonths) / 3 + 1;
    return true;
  }
  char s1 = 0, s2 = 0;
  return std::sscanf(text, "%d%c%d%c%d %d:%d:%d", &t.year, &s1, &t.month, &s2, &t.day, &t.hour, &t.minute,
                     &t.second) == 8 &&
         s1 == s2 && (s1 == '/' || s1 == ':' || s1 == '-');
}

bool AviDate(int handle, const FoundFile& file, uint64_t& filetime) {
  // The header list and what stands before it; IDIT is found there or at the
  // top level just after it.
  uint64_t at = 12;
  for (int n = 0; n < kMaxAtoms && file.length - at >= 12 && at < file.length; ++n) {
    uint8_t head[12];
    if (!ReadFileBytes(handle, file, at, sizeof head, head)) return false;
    ByteView v(head, sizeof head);
    uint32_t size = 0;
    v.u32le(4, size);
    const uint64_t body = at + 8, end = body + size + (size & 1);
    if (std::memcmp(head, "IDIT", 4) == 0) {
      char text[64] = {};
      const size_t len = size < sizeof text - 1 ? size : sizeof text - 1;
      if (!ReadFileBytes(handle, file, body, len, reinterpret_cast<uint8_t*>(text))) return false;
      text[len] = '\0';
      CalendarTime t;
      return ParseIdit(text, t) && CalendarToFiletime(t, filetime);
    }
    if (std::memcmp(head, "LIST", 4) == 0 && std::memcmp(head + 8, "hdrl", 4) == 0) {
      at = body + 4;  // into the header list
      continue;
    }
    // The media data comes after every header: no date beyond it.
    if (std::memcmp(head, "LIST", 4) == 0 && std::memcmp(head + 8, "movi", 4) == 0) return false;
    if (end <= at) return false;
    at = end;
  }
  return false;
}

}  // namespace

bool ReadVideoDate(int handle, const FoundFile& file, uint64_t& filetime) {
  uint64_t found = 0;
  bool ok = false;
  if (file.type == FT_MOV || file.type == FT_MP4 || file.type == FT_3GP)
    ok = QuickTimeDate(handle, file, found);
  else if (file.type == FT_WMV || file.type == FT_ASF)
    ok = AsfDate(handle, file, found);
  else if (file.type == FT_AVI)
    ok = AviDate(handle, file, found);
  CalendarTime check;
  if (!ok || !FiletimeToCalendar(found, check)) return false;
  filetime = found;
  return true;
}

}  // namespace lumicarve
