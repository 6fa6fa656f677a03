#include "scan/formats/end_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

namespace lumicarve {
namespace {

// A sector followed by the next one, as the loop hands them to the rules.
struct TwoSectors {
  uint8_t b[1024] = {};
  TwoSectors& At(size_t off, std::initializer_list<uint8_t> bytes) {
    std::memcpy(b + off, bytes.begin(), bytes.size());
    return *this;
  }
  TwoSectors& Fill(size_t from, size_t to, uint8_t v) {
    std::memset(b + from, v, to - from);
    return *this;
  }
};

// The view the loop hands the rules: a sector and its look-ahead.
ByteView View(const uint8_t* sector) { return ByteView(sector, kRuleViewBytes); }

PreviousSector Prev(uint8_t last, uint32_t last4) { return PreviousSector{last, last4}; }

// Runs the JPEG rule over `file` sector by sector as the loop does; returns
// the found length or 0.
uint64_t WalkJpeg(const std::vector<uint8_t>& file, size_t extraZeroSectors = 1) {
  std::vector<uint8_t> bytes = file;
  bytes.resize((bytes.size() + 511) / 512 * 512 + (extraZeroSectors + 1) * 512, 0);
  JpegWalk walk;
  PreviousSector prev;
  for (size_t off = 0; off + 1024 <= bytes.size(); off += 512) {
    if (const std::optional<uint64_t> found = JpegSectorEnd(View(bytes.data() + off), off, prev, walk)) return *found;
    prev.last = bytes[off + 511];
  }
  return 0;
}

std::vector<uint8_t> Segment(uint8_t marker, size_t payload) {
  std::vector<uint8_t> s(4 + payload, 0x11);
  s[0] = 0xFF;
  s[1] = marker;
  s[2] = uint8_t((payload + 2) >> 8);
  s[3] = uint8_t(payload + 2);
  return s;
}

std::vector<uint8_t> Jpeg(bool thumbnailEoi, size_t entropy) {
  std::vector<uint8_t> f = {0xFF, 0xD8};
  auto app1 = Segment(0xE1, 600);
  if (thumbnailEoi) {
    app1[300] = 0xFF;
    app1[301] = 0xD9;
  }
  f.insert(f.end(), app1.begin(), app1.end());
  auto dht = Segment(0xC4, 30);
  f.insert(f.end(), dht.begin(), dht.end());
  auto sos = Segment(0xDA, 10);
  f.insert(f.end(), sos.begin(), sos.end());
  f.resize(f.size() + entropy, 0x5A);
  f.push_back(0xFF);
  f.push_back(0xD9);
  return f;
}

TEST(JpegRule, passesOverTheThumbnailEoiInsideApp1AndEndsAtTheRealOne) {
  const auto f = Jpeg(true, 3000);
  EXPECT_EQ(WalkJpeg(f), f.size());
}

TEST(JpegRule, needsTheMarkerChainToReachADhtBeforeAnEoiCounts) {
  std::vector<uint8_t> f = {0xFF, 0xD8};
  auto app0 = Segment(0xE0, 16);
  f.insert(f.end(), app0.begin(), app0.end());
  f.resize(2000, 0x5A);  // the chain breaks before any DHT
  f.push_back(0xFF);
  f.push_back(0xD9);
  EXPECT_EQ(WalkJpeg(f), 0u);
}

TEST(JpegRule, endsAtThePrimaryEoiWhateverFollowsItAndPassesOverASplitThumbnailEoi) {
  auto f = Jpeg(false, 1000);
  const size_t size = f.size();
  f.resize(size + 700, 0x01);  // stale bytes of an older file
  EXPECT_EQ(WalkJpeg(f), size);
  // The thumbnail's FF at the last byte of a sector and its D9 at the first of
  // the next: the walk is inside APP1 there.
  auto split = Jpeg(false, 3000);
  split[511] = 0xFF;
  split[512] = 0xD9;
  EXPECT_EQ(WalkJpeg(split), split.size());
}

TEST(JpegRule, followsProgressiveScansThroughStuffingAndRestartsToTheEnd) {
  std::vector<uint8_t> f = Jpeg(false, 600);
  f.resize(f.size() - 2);  // drop the EOI: more scans follow
  for (int scan = 0; scan < 3; ++scan) {
    for (auto seg : {Segment(0xC4, 40), Segment(0xDA, 8)}) f.insert(f.end(), seg.begin(), seg.end());
    for (int i = 0; i < 300; ++i) {
      f.push_back(0x37);
      if (i % 50 == 0) f.insert(f.end(), {0xFF, 0x00});
      if (i % 90 == 0) f.insert(f.end(), {0xFF, uint8_t(0xD0 + i % 8)});
    }
  }
  f.insert(f.end(), {0xFF, 0xFF, 0xD9});  // a fill byte before the EOI
  const size_t size = f.size();
  f.resize(size + 300, 0x42);
  EXPECT_EQ(WalkJpeg(f), size);
}

// Entropy-coded data is searched 16 bytes at a time: the end is found at
// every place in a sector, with stuffing and restarts just before it and
// stuffing whose FF is a sector's last byte.
TEST(JpegRule, findsTheEoiAtEveryPlaceInASectorAmidStuffingAndRestarts) {
  uint32_t seed = 12345;
  for (size_t entropy = 0; entropy < 1100; ++entropy) {
    std::vector<uint8_t> f = Jpeg(false, 0);
    f.resize(f.size() - 2);
    for (size_t i = 0; i < entropy; ++i) {
      seed = seed * 1103515245 + 12345;
      if (f.size() % 512 == 511 || i % 37 == 5) f.insert(f.end(), {0xFF, 0x00});
      else if (i % 101 == 7) f.insert(f.end(), {0xFF, uint8_t(0xD0 + i % 8)});
      else f.push_back(uint8_t(seed >> 16) % 0xFF);
    }
    f.insert(f.end(), {0xFF, 0xD9});
    const size_t size = f.size();
    f.resize(size + 700, 0x42);
    ASSERT_EQ(WalkJpeg(f), size) << "entropy bytes " << entropy;
  }
}

// A Multi-Picture index in APP2 lists a second image `gap` bytes after the
// primary one's EOI.
std::vector<uint8_t> MultiPicture(size_t second, size_t gap, size_t& primaryEnd) {
  std::vector<uint8_t> f = {0xFF, 0xD8};
  std::vector<uint8_t> app2 = {0xFF, 0xE2, 0, 0, 'M', 'P', 'F', 0, 'I', 'I', 0x2A, 0, 8, 0, 0, 0, 1, 0,
                               0x02, 0xB0, 7, 0, 32, 0, 0, 0, 26, 0, 0, 0, 0, 0, 0, 0};
  app2.resize(app2.size() + 32, 0);  // two 16-byte entries at index offset 26
  app2[3] = uint8_t(app2.size() - 2);
  const size_t base = f.size() + 8;
  f.insert(f.end(), app2.begin(), app2.end());
  auto rest = Jpeg(false, 5000);
  f.insert(f.end(), rest.begin() + 2, rest.end());
  primaryEnd = f.size();
  const uint32_t offset = uint32_t(primaryEnd + gap - base), size = uint32_t(second);
  for (int i = 0; i < 4; ++i) {
    f[base + 26 + 16 + 4 + i] = uint8_t(size >> 8 * i);
    f[base + 26 + 16 + 8 + i] = uint8_t(offset >> 8 * i);
  }
  f.resize(primaryEnd + gap + second, 0x66);
  return f;
}

TEST(JpegRule, aMultiPictureFileEndsWithTheLastImageItsIndexLists) {
  size_t primaryEnd = 0;
  const auto f = MultiPicture(4000, 0, primaryEnd);
  EXPECT_EQ(WalkJpeg(f), f.size());
  EXPECT_GT(f.size(), primaryEnd + 3000);
  // An index that points past the device is not believed.
  JpegWalk walk;
  walk.limit = f.size() - 1;
  std::vector<uint8_t> bytes = f;
  bytes.resize(bytes.size() / 512 * 512 + 2048, 0);
  std::optional<uint64_t> found;
  for (size_t off = 0; !found && off + 1024 <= bytes.size(); off += 512)
    found = JpegSectorEnd(View(bytes.data() + off), off, PreviousSector{}, walk);
  EXPECT_EQ(found, primaryEnd);
}

TEST(JpegRule, anFfAtTheEndOfOneSectorAndD9AtTheStartOfTheNextEndsTheFile) {
  TwoSectors s;
  s.At(0, {0xD9});
  JpegWalk walk;  // no DHT needed for this case, once the structure broke
  walk.mode = JpegWalk::Mode::kBroken;
  EXPECT_EQ(JpegSectorEnd(View(s.b), 7 * 512, Prev(0xFF, 0), walk), 7u * 512 + 1);
}

TEST(JpegRule, endsPastTwoMebibytesAtTheFirstSectorWithAZeroTail) {
  JpegWalk walk;  // a walk whose structure broke: the chain rule decides
  walk.mode = JpegWalk::Mode::kBroken;
  walk.huffman = true;
  walk.expectedMarker = 2;
  walk.segmentLength = 100;
  TwoSectors busy;
  busy.Fill(0, 512, 0x33);
  EXPECT_EQ(JpegSectorEnd(View(busy.b), 2097152, Prev(0x33, 0), walk), std::nullopt);
  TwoSectors quiet;
  quiet.At(0, {0x44, 0x55});
  EXPECT_EQ(JpegSectorEnd(View(quiet.b), 2097152 + 512, Prev(0x33, 0), walk), 2097152u + 512 + 2);
  // The bound also applies inside the sector that crosses it.
  TwoSectors crossing;
  crossing.Fill(0, 258, 0x33);
  EXPECT_EQ(JpegSectorEnd(View(crossing.b), 2097152 - 256, Prev(0x33, 0), walk), 2097152u + 2);
}

TEST(PngRule, findsIendInsideASectorAndAcrossEachSplit) {
  TwoSectors s;
  s.At(100, {'I', 'E', 'N', 'D'});
  EXPECT_EQ(PngSectorEnd(View(s.b), 1024, Prev(0, 0)), 1024u + 100 + 8);
  TwoSectors tail;
  tail.At(510, {'I', 'E'}).At(512, {'N', 'D'});
  EXPECT_EQ(PngSectorEnd(View(tail.b), 0, Prev(0, 0)), 510u + 8);
  TwoSectors d;
  d.At(0, {'D'});
  EXPECT_EQ(PngSectorEnd(View(d.b), 512, Prev('N', 0x0049454E)), 512u + 5);
  TwoSectors nd;
  nd.At(0, {'N', 'D'});
  EXPECT_EQ(PngSectorEnd(View(nd.b), 512, Prev('E', 0x00004945)), 512u + 6);
  TwoSectors end;
  end.At(0, {'E', 'N', 'D'});
  EXPECT_EQ(PngSectorEnd(View(end.b), 512, Prev('I', 0x00000049)), 512u + 7);
}

TEST(GifRule, walksTheBlocksToTheTrailerWhateverFollowsIt) {
  // Header, screen descriptor with a 4-colour table, a graphic control
  // extension, an image with a local table and a 300-byte sub-block chain.
  std::vector<uint8_t> f = {'G', 'I', 'F', '8', '9', 'a', 8, 0, 8, 0, 0x81, 0, 0};
  f.resize(f.size() + 12, 0x3B);
  f.insert(f.end(), {0x21, 0xF9, 4, 0x3B, 0x3B, 0, 0, 0});
  f.insert(f.end(), {0x2C, 0, 0, 0, 0, 8, 0, 8, 0, 0x80});
  f.resize(f.size() + 6, 0x3B);
  f.push_back(2);
  for (int block = 0; block < 2; ++block) {
    f.push_back(150);
    f.resize(f.size() + 150, block ? 0x00 : 0x3B);
  }
  f.insert(f.end(), {0, 0x3B});
  const size_t size = f.size();
  f.resize(1024, 0x3B);  // stale bytes, trailers among them
  f.resize(2048, 0);
  GifWalk walk;
  PreviousSector prev;
  EXPECT_EQ(GifSectorEnd(View(f.data()), 0, prev, walk), size);
}

TEST(GifRule, whereTheChainBreaksATrailerAfterAZeroFollowedOnlyByZerosEnds) {
  GifWalk broken;
  broken.mode = GifWalk::Mode::kBroken;
  TwoSectors s;
  s.Fill(0, 200, 0x21).At(200, {0x00, 0x3B});
  EXPECT_EQ(GifSectorEnd(View(s.b), 512, Prev(0, 0), broken), 512u + 202);
  s.At(400, {0x01});
  EXPECT_EQ(GifSectorEnd(View(s.b), 512, Prev(0, 0), broken), std::nullopt);
  TwoSectors first;
  first.At(0, {0x3B});
  EXPECT_EQ(GifSectorEnd(View(first.b), 512, Prev(0x00, 0), broken), 513u);
  EXPECT_EQ(GifSectorEnd(View(first.b), 512, Prev(0x05, 0), broken), std::nullopt);
  // A walk that meets a byte no block starts with breaks and falls back.
  TwoSectors bad;
  bad.At(0, {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x77}).At(300, {0x00, 0x3B});
  GifWalk walk;
  EXPECT_EQ(GifSectorEnd(View(bad.b), 0, Prev(0, 0), walk), 302u);
  EXPECT_EQ(walk.mode, GifWalk::Mode::kBroken);
}

TEST(MpegRule, findsEndCodesUnlessAStartCodeFollowsAtOnce) {
  TwoSectors s;
  s.At(40, {0, 0, 1, 0xB9, 0, 0, 1, 0xBA}).At(300, {0, 0, 1, 0xB7});
  EXPECT_EQ(MpegSectorEnd(View(s.b), 0, Prev(0, 0xFFFFFFFF)), 304u);
  TwoSectors boundary;
  boundary.At(510, {0, 0}).At(512, {1, 0xB9});
  EXPECT_EQ(MpegSectorEnd(View(boundary.b), 512, Prev(0x11, 0x11111111)), 512u + 510 + 4);
  TwoSectors split1;
  split1.At(0, {0xB9});
  EXPECT_EQ(MpegSectorEnd(View(split1.b), 512, Prev(1, 0x00000001)), 513u);
  TwoSectors split2;
  split2.At(0, {1, 0xB7});
  EXPECT_EQ(MpegSectorEnd(View(split2.b), 512, Prev(0, 0x11110000)), 514u);
  TwoSectors split3;
  split3.At(0, {0, 1, 0xB9});
  EXPECT_EQ(MpegSectorEnd(View(split3.b), 512, Prev(0, 0x11111100)), 515u);
}

TEST(MpegTracker, endsAQuietStreamAtTheSignatureIgnoredAfterItsLastHeader) {
  MpegTracker t;
  t.Start(100, true);
  TwoSectors pack;
  pack.At(0, {0, 0, 1, 0xBA}).At(20, {0, 0, 1, 0xE0});
  TwoSectors quiet;
  quiet.Fill(0, 1024, 0xFF);
  uint64_t end = 0;
  t.Observe(View(pack.b), 100, false);
  t.Observe(View(pack.b), 101, false);
  t.Observe(View(quiet.b), 102, true);  // a signature seen and ignored here
  for (uint64_t s = 103; s < 101 + MpegTracker::kQuietLimit; ++s) {
    t.Observe(View(quiet.b), s, false);
    EXPECT_FALSE(t.Ended(end));
  }
  t.Observe(View(quiet.b), 101 + MpegTracker::kQuietLimit, false);
  ASSERT_TRUE(t.Ended(end));
  EXPECT_EQ(end, 102u);
  // A signature in a sector that also holds a pack header is remembered, and
  // the zero sectors before it are not part of the stream.
  t.Start(100, true);
  t.Observe(View(pack.b), 100, false);
  TwoSectors zeros;
  for (uint64_t s = 101; s < 106; ++s) t.Observe(View(zeros.b), s, false);
  t.Observe(View(pack.b), 106, true);
  for (uint64_t s = 107; s < 107 + MpegTracker::kQuietLimit; ++s) t.Observe(View(quiet.b), s, false);
  ASSERT_TRUE(t.Ended(end));
  EXPECT_EQ(end, 101u);
}

TEST(MpegTracker, aProgramStreamEndsWhereItsPackStructureEnds) {
  // An MPEG-2 pack header with 2 stuffing bytes, a 600-byte PES packet, then
  // stale bytes: no start code where the next one belongs.
  std::vector<uint8_t> f = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, 0xFA, 0xFF, 0xFF};
  f.insert(f.end(), {0, 0, 1, 0xE0, 600 >> 8, 600 & 0xFF});
  f.resize(f.size() + 600, 0x00);
  const size_t size = f.size();
  f.resize(2048, 0x01);
  MpegTracker t;
  t.Start(0, true);
  EXPECT_EQ(t.WalkPacks(View(f.data()), 0), std::nullopt);
  EXPECT_EQ(t.WalkPacks(View(f.data() + 512), 512), size);
  // A program end code ends it exactly too.
  f[size] = 0, f[size + 1] = 0, f[size + 2] = 1, f[size + 3] = 0xB9;
  t.Start(0, true);
  t.WalkPacks(View(f.data()), 0);
  EXPECT_EQ(t.WalkPacks(View(f.data() + 512), 512), size + 4);
}

TEST(MpegTracker, endsAfterTheLastStartCodeWhenNothingWasIgnored) {
  MpegTracker t;
  t.Start(0, false);
  TwoSectors seq;
  seq.At(0, {0, 0, 1, 0xB3});
  TwoSectors slice;
  slice.At(10, {0, 0, 1, 0x01});  // any start code keeps a sequence stream alive
  TwoSectors quiet;
  t.Observe(View(seq.b), 0, false);
  t.Observe(View(slice.b), 1, false);
  uint64_t end = 0;
  for (uint64_t s = 2; s < 2 + MpegTracker::kQuietLimit; ++s) t.Observe(View(quiet.b), s, s == 1);
  ASSERT_TRUE(t.Ended(end));
  EXPECT_EQ(end, 2u);
}

TEST(MpegTracker, aPackStreamIgnoresPrefixesWithLowStreamIds) {
  MpegTracker t;
  t.Start(0, true);
  TwoSectors low;
  low.At(5, {0, 0, 1, 0x20});
  uint64_t end = 0;
  for (uint64_t s = 1; s <= MpegTracker::kQuietLimit; ++s) t.Observe(View(low.b), s, false);
  ASSERT_TRUE(t.Ended(end));
  EXPECT_EQ(end, 1u);
}

TEST(AvchdRule, theFirstPacketWithoutSyncEndsTheStream) {
  TwoSectors s;
  // Packets at 0, 192 and 384 (its sync byte in this sector).
  s.At(4, {0x47}).At(196, {0x12}).At(388, {0x12});
  uint64_t packet = 0;
  EXPECT_EQ(AvchdSectorEnd(View(s.b), 0, packet), 192u);
  TwoSectors next;  // file offsets 512.., packet 576 at 64 with its sync byte present
  next.At(64 + 4, {0x47}).At(256 + 4, {0x47}).At(448 + 4, {0x47});
  packet = 576;
  EXPECT_EQ(AvchdSectorEnd(View(next.b), 512, packet), std::nullopt);
  EXPECT_EQ(packet, 1152u);
}

}  // namespace
}  // namespace lumicarve
