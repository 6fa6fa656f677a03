// Camera cards as people bring them: FAT32 with 32 KiB clusters, two shooting
// sessions with deletions between them, made with the real tools. On a used
// card the space behind every file holds old bytes; on a clean one, zeros.
// Every file that lies intact and contiguous on the card is saved byte-exact,
// the newer types (HEIC, AVIF, WebP, CR3, RAF, MKV, WebM) under their own
// extensions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace lumicarve::test {
namespace {

bool HaveTools() {
  for (const char* tool : {"mkfs.vfat", "mcopy", "mdel", "mmd"})
    if (Shell(std::string("command -v ") + tool) != 0) return false;
  return true;
}

// A JPEG with a Multi-Picture index in APP2 listing `second` right after the
// primary image, as cameras store a large preview.
std::vector<uint8_t> MultiPicture(std::vector<uint8_t> primary, const std::vector<uint8_t>& second) {
  size_t at = 2;  // after SOI and the APPn segments
  while (at + 4 <= primary.size() && primary[at] == 0xFF && (primary[at + 1] & 0xF0) == 0xE0)
    at += 2 + (size_t{primary[at + 2]} << 8 | primary[at + 3]);
  std::vector<uint8_t> app2 = {0xFF, 0xE2, 0, 0, 'M', 'P', 'F', 0, 'I', 'I', 0x2A, 0, 8, 0, 0, 0, 1, 0,
                               0x02, 0xB0, 7, 0, 32, 0, 0, 0, 26, 0, 0, 0, 0, 0, 0, 0};
  app2.resize(app2.size() + 32, 0);
  app2[3] = static_cast<uint8_t>(app2.size() - 2);
  const uint32_t primaryLength = static_cast<uint32_t>(primary.size() + app2.size());
  const uint32_t offset = primaryLength - static_cast<uint32_t>(at + 8);  // from the index's TIFF header
  const uint32_t size = static_cast<uint32_t>(second.size());
  for (int i = 0; i < 4; ++i) {
    app2[34 + 4 + i] = static_cast<uint8_t>(primaryLength >> 8 * i);
    app2[50 + 4 + i] = static_cast<uint8_t>(size >> 8 * i);
    app2[50 + 8 + i] = static_cast<uint8_t>(offset >> 8 * i);
  }
  primary.insert(primary.begin() + static_cast<std::ptrdiff_t>(at), app2.begin(), app2.end());
  primary.insert(primary.end(), second.begin(), second.end());
  return primary;
}

class UsedCard : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!HaveTools()) GTEST_SKIP() << "mtools or dosfstools are not installed";
    image_ = dir_.path / "card.img";
  }

  // FAT32 needs 65,525 clusters: 2 GiB of 32 KiB clusters, sparse past the
  // part the files use.
  void Format(bool used) {
    {
      std::ofstream out(image_, std::ios::binary);
      if (used) {
        std::mt19937 rng(2024);
        std::vector<uint32_t> chunk(1 << 18);
        for (int i = 0; i < 96; ++i) {  // 96 MiB of old bytes
          for (uint32_t& w : chunk) w = rng();
          out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size() * 4));
        }
      }
    }
    fs::resize_file(image_, (uint64_t{2} << 30) + (uint64_t{64} << 20));
    ASSERT_EQ(Shell("mkfs.vfat -F 32 -s 64 -n CARD '" + image_.string() + "'"), 0);
    ASSERT_EQ(Shell("mmd -i '" + image_.string() + "' ::/DCIM"), 0);
  }

  void Copy(const fs::path& file, const std::string& name) {
    ASSERT_EQ(Shell("mcopy -i '" + image_.string() + "' '" + file.string() + "' '::/DCIM/" + name + "'"), 0);
  }

  // True when `bytes` lie in one run from a sector boundary of the card.
  bool Contiguous(const std::vector<uint8_t>& card, const std::vector<uint8_t>& bytes) const {
    for (size_t at = 0; at + bytes.size() <= card.size(); at += 512)
      if (std::memcmp(card.data() + at, bytes.data(), std::min<size_t>(bytes.size(), 64)) == 0 &&
          std::equal(bytes.begin(), bytes.end(), card.begin() + static_cast<std::ptrdiff_t>(at)))
        return true;
    return false;
  }

  ScratchDir dir_;
  fs::path image_;
};

TEST_P(UsedCard, everyIntactContiguousFileIsSavedByteExact) {
  const bool used = GetParam();
  const fs::path data = LUMICARVE_TEST_DATA;
  std::map<std::string, fs::path> first;  // card name: original
  for (const char* sub : {"generated/image", "generated/video"})
    for (const auto& e : fs::directory_iterator(data / sub)) first[e.path().filename().string()] = e.path();
  for (const char* name : {"M2TS.mts", "BMP.bmp", "GIF.gif", "PNG.png", "Nikon.nef", "DNG.dng", "ExifTool.tif"})
    first[name] = data / "corpus" / name;
  // One complete file of each newer type, saved under its own extension.
  std::map<std::string, std::string> newer = {{"CanonRaw.cr3", "CR3"}};
  first["CanonRaw.cr3"] = data / "corpus/CanonRaw.cr3";
  for (const auto& e : fs::directory_iterator(data / "formats")) {
    const std::string name = e.path().filename().string();
    first[name] = e.path();
    newer[name] = name.substr(name.find('.') + 1);
    for (char& c : newer[name]) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  // A camera's Multi-Picture JPEG: a 3 MB primary with an EXIF thumbnail and
  // a 1.2 MB second image.
  const fs::path mpf = dir_.path / "multi_picture.jpg";
  ASSERT_TRUE(WriteFile(mpf, MultiPicture(Slurp(data / "generated/image/big_4000x3000_exif_thumb.jpg"),
                                          Slurp(data / "generated/image/portrait_3000x4000.jpg"))));

  ASSERT_NO_FATAL_FAILURE(Format(used));
  for (const auto& [name, path] : first) ASSERT_NO_FATAL_FAILURE(Copy(path, name));
  // Every third one deleted, then a second session written after them.
  int n = 0;
  for (const auto& [name, path] : first)
    if (n++ % 3 == 1) {
      ASSERT_EQ(Shell("mdel -i '" + image_.string() + "' '::/DCIM/" + name + "'"), 0);
    }
  std::map<std::string, fs::path> all = first;
  all["multi_picture.jpg"] = mpf;
  ASSERT_NO_FATAL_FAILURE(Copy(mpf, "multi_picture.jpg"));
  ASSERT_NO_FATAL_FAILURE(Copy(data / "generated/image/progressive.jpg", "second_progressive.jpg"));

  const fs::path out = dir_.path / "saved";
  fs::create_directory(out);
  ASSERT_EQ(Shell(std::string(LUMICARVE_CLI_PATH) + " scan '" + image_.string() + "' --out '" + out.string() + "'"),
            0);
  std::vector<std::vector<uint8_t>> saved;
  std::vector<std::string> extensions;
  for (const auto& e : fs::directory_iterator(out)) {
    saved.push_back(Slurp(e.path()));
    extensions.push_back(e.path().extension().string());
  }

  std::vector<uint8_t> card(128 << 20);
  {
    std::ifstream in(image_, std::ios::binary);
    in.read(reinterpret_cast<char*>(card.data()), static_cast<std::streamsize>(card.size()));
  }
  // No format tells where these end: a JPEG cut short, and an ASF file
  // without video, which is not a video the tool keeps.
  const std::vector<std::string> inexact = {"truncated_no_eoi.jpg", "audio_only.wma"};
  int checked = 0;
  for (const auto& [name, path] : all) {
    const auto bytes = Slurp(path);
    ASSERT_TRUE(Contiguous(card, bytes)) << name << " is not on the card in one run";
    if (std::find(inexact.begin(), inexact.end(), name) != inexact.end()) continue;
    ++checked;
    const auto found = std::find(saved.begin(), saved.end(), bytes);
    EXPECT_NE(found, saved.end()) << name << " was not saved byte-exact";
    if (newer.count(name) && found != saved.end()) {
      EXPECT_EQ(extensions[static_cast<size_t>(found - saved.begin())], "." + newer[name]) << name;
    }
  }
  EXPECT_GE(checked, 37);
}

void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = static_cast<uint8_t>(v >> 8 * i);
}

// A deleted video whose header claims 4 MiB more than it holds, with files
// written into that run after it; and files whose own structure places
// signatures on cluster boundaries.
TEST_F(UsedCard, aClaimedExtentEndsAtAFileOnAClusterBoundaryThatItsStructureDoesNotExplain) {
  const fs::path data = LUMICARVE_TEST_DATA;
  auto mp4 = Slurp(data / "generated/video/mp4_isom_moov_front.mp4");
  for (size_t at = 0; at + 8 <= mp4.size();) {
    const uint32_t size = uint32_t{mp4[at]} << 24 | uint32_t{mp4[at + 1]} << 16 | uint32_t{mp4[at + 2]} << 8 | mp4[at + 3];
    if (std::memcmp(mp4.data() + at + 4, "mdat", 4) == 0) {
      const uint32_t claim = size + (4u << 20);
      for (int i = 0; i < 4; ++i) mp4[at + size_t(i)] = static_cast<uint8_t>(claim >> (24 - 8 * i));
      break;
    }
    at += size;
  }
  const auto exifJpeg = Slurp(data / "generated/image/make_not_in_model_fuji.jpg");
  // A TIFF whose IFD places its EXIF JPEG preview at the next cluster.
  std::vector<uint8_t> raw(32768, 0);
  std::memcpy(raw.data(), "II*\0\x08\0\0\0\x02\0", 10);
  const uint8_t entries[24] = {0x01, 0x02, 4, 0, 1, 0, 0, 0, 0, 0x80, 0, 0, 0x02, 0x02, 4, 0, 1, 0, 0, 0};
  std::memcpy(raw.data() + 10, entries, sizeof entries);
  PutLe32(raw, 30, static_cast<uint32_t>(exifJpeg.size()));
  raw.insert(raw.end(), exifJpeg.begin(), exifJpeg.end());
  // A Motion-JPEG AVI with a JFIF frame on a cluster boundary, and TIFF- and
  // RIFF-like bytes that are no file on the next ones.
  std::vector<uint8_t> avi(4 * 32768, 0x11);
  std::memcpy(avi.data(), "RIFF\0\0\0\0AVI LIST", 16);
  const auto frame = Slurp(data / "generated/image/jfif_only_no_exif.jpg");
  std::memcpy(avi.data() + 32768, frame.data(), 4096);
  std::memcpy(avi.data() + 65536, "II*\0\xF0\xFF\xFF\xFF", 8);
  std::memcpy(avi.data() + 98304, "RIFF\x10\0\0\0WAVE", 12);
  avi.resize(avi.size() + 1000, 0x22);
  PutLe32(avi, 4, static_cast<uint32_t>(avi.size() - 8));

  const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"claimer.mp4", mp4},
      {"photo.jpg", Slurp(data / "generated/image/make_in_model_canon.jpg")},
      {"raw.nef", Slurp(data / "corpus/Nikon.nef")},
      {"preview.tif", raw},
      {"motion.avi", avi}};
  ASSERT_NO_FATAL_FAILURE(Format(true));
  for (const auto& [name, bytes] : files) {
    ASSERT_TRUE(WriteFile(dir_.path / name, bytes));
    ASSERT_NO_FATAL_FAILURE(Copy(dir_.path / name, name));
  }
  ASSERT_EQ(Shell("mdel -i '" + image_.string() + "' ::/DCIM/claimer.mp4"), 0);

  const fs::path out = dir_.path / "saved";
  fs::create_directory(out);
  ASSERT_EQ(Shell(std::string(LUMICARVE_CLI_PATH) + " scan '" + image_.string() + "' --out '" + out.string() + "'"),
            0);
  std::vector<std::vector<uint8_t>> saved;
  for (const auto& e : fs::directory_iterator(out)) saved.push_back(Slurp(e.path()));
  for (size_t i = 1; i < files.size(); ++i)
    EXPECT_NE(std::find(saved.begin(), saved.end(), files[i].second), saved.end())
        << files[i].first << " was not saved byte-exact";
}

INSTANTIATE_TEST_SUITE_P(Cards, UsedCard, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "used" : "clean"; });

}  // namespace
}  // namespace lumicarve::test
