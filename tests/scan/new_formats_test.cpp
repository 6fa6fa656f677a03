#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/cluster_check.h"
#include "scan/file_types.h"
#include "scan/formats/registry.h"
#include "scan/recognise.h"
#include "test_device.h"

namespace lumicarve {
namespace {

using test::ImageBuilder;
using test::ReadTestFile;
using test::ScanRun;

struct Case {
  const char* file;
  FileTypeMask type;
  bool complete;  // its length is known exactly
};

// Real samples (their data cut) and complete files built for length, among
// used-card filler. The Matroska sample claims more than it holds, so it
// comes last.
constexpr Case kCases[] = {
    {"corpus/QuickTime.heic", FT_HEIC, true},   {"corpus/CanonRaw.cr3", FT_CR3, true},
    {"corpus/FujiFilm.raf", FT_RAF, false},     {"corpus/RIFF.webp", FT_WEBP, true},
    {"formats/complete.heic", FT_HEIC, true},   {"formats/complete.avif", FT_AVIF, true},
    {"formats/complete.webp", FT_WEBP, true},   {"formats/complete.mkv", FT_MKV, true},
    {"formats/complete.webm", FT_WEBM, true},   {"formats/complete.raf", FT_RAF, true},
    {"corpus/Matroska.mkv", FT_MKV, false},
};

TEST(NewFormats, eachIsFoundAsItsOwnTypeAndCompleteFilesAtTheirExactLength) {
  ImageBuilder img;
  std::vector<uint64_t> starts;
  std::vector<size_t> sizes;
  uint32_t seed = 1;
  for (const Case& c : kCases) {
    img.Random(6, seed++);
    const std::vector<uint8_t> data = ReadTestFile(c.file);
    ASSERT_FALSE(data.empty()) << c.file;
    sizes.push_back(data.size());
    starts.push_back(img.PlaceWithRandomSlack(data, seed++));
  }
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_EQ(run.files().size(), std::size(kCases));
  for (size_t i = 0; i < std::size(kCases); ++i) {
    const FoundFile& f = run.files()[i];
    EXPECT_EQ(f.type, kCases[i].type) << kCases[i].file;
    EXPECT_EQ(f.startSector, starts[i]) << kCases[i].file;
    if (kCases[i].complete) {
      EXPECT_EQ(f.length, sizes[i]) << kCases[i].file;
    }
  }
}

TEST(NewFormats, heifAndCr3AreNeverTakenForQuickTimeButOtherBrandsStillAre) {
  auto first = [](const char* file) {
    std::vector<uint8_t> s = ReadTestFile(file);
    s.resize(2 * kSectorSize, 0);
    return s;
  };
  for (const char* file : {"corpus/QuickTime.heic", "corpus/CanonRaw.cr3", "formats/complete.avif"})
    EXPECT_EQ(RecogniseSector(first(file).data(), FT_MOV | FT_MP4 | FT_3GP), 0u) << file;
  EXPECT_EQ(RecogniseSector(first("corpus/QuickTime.mov").data(), kAllTypes), FT_MOV);
  EXPECT_EQ(RecogniseSector(first("formats/complete.webm").data(), FT_MKV), 0u);
}

// On a card, a file written into the space a deleted file's header still
// claims is found by its strong signature at a cluster start.
TEST(NewFormats, theirHeadersAreStrongSignaturesAndMatroskaClaimsItsMotionJpegFrames) {
  auto first = [](const char* file) {
    std::vector<uint8_t> s = ReadTestFile(file);
    s.resize(kSectorSize, 0);
    return s;
  };
  for (const char* file : {"formats/complete.heic", "formats/complete.avif", "corpus/CanonRaw.cr3",
                           "formats/complete.raf", "formats/complete.webp", "formats/complete.mkv",
                           "formats/complete.webm"})
    EXPECT_TRUE(IsStrongSignature(first(file).data(), FT_MOV)) << file;
  const std::vector<uint8_t> frame = first("generated/image/jfif_only_no_exif.jpg");
  EXPECT_TRUE(IsStrongSignature(frame.data(), FT_JPG));
  EXPECT_FALSE(IsStrongSignature(frame.data(), FT_MKV));
  EXPECT_FALSE(IsStrongSignature(frame.data(), FT_WEBM));
}

TEST(NewFormats, presetsCoverEveryTypeOfTheirGroupAndOldBitsKeepTheirValues) {
  FileTypeMask pictures = 0, videos = 0;
  for (const FileFormat* f : Formats()) {
    if (f->group == TypeGroup::kPicture || f->group == TypeGroup::kRaw) pictures |= f->type;
    if (f->group == TypeGroup::kVideo) videos |= f->type;
  }
  EXPECT_EQ(kPictureTypes, pictures);
  EXPECT_EQ(kVideoTypes, videos);
  EXPECT_EQ(kPictureTypes & 0xFFFF0000u, 0x3FC00000u | FT_RAF);
  EXPECT_EQ(FT_MTS, 0x00080000u);
}

}  // namespace
}  // namespace lumicarve
