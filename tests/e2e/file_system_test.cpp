// Cards made with the real tools (mtools, mkfs.exfat, mkntfs with ntfs-3g,
// mkfs.ext4), with live, deleted and fragmented files: the scan gives each
// found file the name, folder and state the card's file system still holds,
// and saves fragmented files by their runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "e2e/e2e_support.h"

namespace lumicarve::test {
namespace {

const fs::path kCorpus = fs::path(LUMICARVE_TEST_DATA) / "corpus";

bool HaveTools(std::initializer_list<const char*> tools, std::string& missing) {
  for (const char* t : tools)
    if (Shell(std::string("command -v ") + t) != 0) return missing = t, false;
  return true;
}

std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }

// The CLI's stdout row of the file saved byte-exact from `original`: the
// original path and state columns.
std::string Row(const CliResult& r, const std::string& originalPath) {
  size_t at = r.out.find("\t" + originalPath + "\t");
  if (at == std::string::npos) return "";
  const size_t begin = r.out.rfind('\n', at) + 1;
  return r.out.substr(begin, r.out.find('\n', at) - begin);
}

// Column `n` of a stdout row.
std::string Column(const std::string& row, int n) {
  size_t from = 0;
  for (int i = 0; i < n && from != std::string::npos; ++i) from = row.find('\t', from) + 1;
  return from == std::string::npos ? "" : row.substr(from, row.find('\t', from) - from);
}

// `length` bytes of the image from the sector in the row's start column:
// what a copy that ignored the file's runs would save.
std::vector<uint8_t> Contiguous(const fs::path& image, const std::string& row, size_t length) {
  std::vector<uint8_t> card = Slurp(image);
  const size_t at = static_cast<size_t>(std::stoull("0" + Column(row, 2))) * kSectorSize;
  if (at + length > card.size()) return {};
  return {card.begin() + static_cast<std::ptrdiff_t>(at), card.begin() + static_cast<std::ptrdiff_t>(at + length)};
}

bool Listed(const CliResult& r, const std::string& path, const std::string& state) {
  return Row(r, path).find("\t" + path + "\t" + state + "\t") != std::string::npos;
}

class FileSystemCard : public ::testing::Test {
 protected:
  // Mounts `image` (through a FUSE driver or the kernel) at mnt_, runs
  // `steps` there and unmounts; false when the machine cannot mount it.
  bool Through(const std::string& mountCommand, const std::string& steps) {
    fs::create_directories(mnt_);
    if (Shell(mountCommand) != 0) return false;
    const int rc = Shell("cd " + Q(mnt_) + " && " + steps + " && sync");
    Shell("umount " + Q(mnt_));
    return rc == 0;
  }
  ScratchDir dir_;
  fs::path image_ = dir_.path / "card.img", mnt_ = dir_.path / "mnt", out_ = dir_.path / "out";
};

TEST_F(FileSystemCard, fat32NamesLiveDeletedAndFragmentedFilesAndRestoresTheirFolderTree) {
  std::string missing;
  if (!HaveTools({"mkfs.vfat", "mcopy", "mdel", "mmd"}, missing)) GTEST_SKIP() << missing << " is not installed";
  const std::string img = Q(image_), m = "mcopy -i " + img + " ";
  // A used card: pseudo-random bytes under the new file system.
  ASSERT_EQ(Shell("head -c 64M /dev/urandom >" + img + " && mkfs.vfat -F 32 -s 1 " + img), 0);
  ASSERT_EQ(Shell("mmd -i " + img + " ::/DCIM ::/DCIM/100CANON ::/Trips"), 0);
  ASSERT_EQ(Shell(m + Q(kCorpus / "Canon.jpg") + " ::/DCIM/100CANON/IMG_0412.JPG"), 0);
  ASSERT_EQ(Shell(m + Q(kCorpus / "Nikon.jpg") + " ::/DCIM/100CANON/IMG_0413.JPG"), 0);
  ASSERT_EQ(Shell(m + Q(kCorpus / "Sony.jpg") + " ::/DCIM/100CANON/GAP.JPG"), 0);
  ASSERT_EQ(Shell(m + Q(kCorpus / "PNG.png") + " '::/Trips/Holiday at the sea.png'"), 0);
  // The gap left by GAP.JPG is too small for the next file: it is split.
  ASSERT_EQ(Shell("mdel -i " + img + " ::/DCIM/100CANON/GAP.JPG"), 0);
  // The card forgets where its free space begins (FSInfo's next-free
  // cluster), so the next file starts in the first gap.
  ASSERT_EQ(Shell("printf '\\377\\377\\377\\377' | dd of=" + img + " bs=1 seek=1004 conv=notrunc"), 0);
  ASSERT_EQ(Shell(m + Q(kCorpus / "Google.jpg") + " ::/DCIM/100CANON/IMG_0414.JPG"), 0);
  ASSERT_EQ(Shell("mdel -i " + img + " ::/DCIM/100CANON/IMG_0412.JPG '::/Trips/Holiday at the sea.png'"), 0);
  fs::create_directory(out_);

  const CliResult r = RunCliScan({image_, "--out", out_, "--template", "%P/%O", "--report", dir_.path / "r.csv"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // A deleted short name has lost its first letter; a long name survives.
  EXPECT_TRUE(Listed(r, "DCIM/100CANON/_MG_0412.JPG", "deleted")) << r.out;
  EXPECT_TRUE(Listed(r, "DCIM/100CANON/IMG_0413.JPG", "on card")) << r.out;
  EXPECT_TRUE(Listed(r, "DCIM/100CANON/IMG_0414.JPG", "on card")) << r.out;
  EXPECT_TRUE(Listed(r, "Trips/Holiday at the sea.png", "deleted")) << r.out;
  EXPECT_EQ(Slurp(out_ / "DCIM/100CANON/_MG_0412.JPG"), Slurp(kCorpus / "Canon.jpg"));
  EXPECT_EQ(Slurp(out_ / "DCIM/100CANON/IMG_0413.JPG"), Slurp(kCorpus / "Nikon.jpg"));
  const std::vector<uint8_t> google = Slurp(kCorpus / "Google.jpg");
  EXPECT_EQ(Slurp(out_ / "DCIM/100CANON/IMG_0414.JPG"), google);
  EXPECT_NE(Contiguous(image_, Row(r, "DCIM/100CANON/IMG_0414.JPG"), google.size()), google) << "not fragmented";
  EXPECT_EQ(Slurp(out_ / "Trips/Holiday at the sea.PNG"), Slurp(kCorpus / "PNG.png"));

  // --deleted-only leaves out what is still on the card.
  const CliResult d = RunCliScan({image_, "--deleted-only"});
  EXPECT_NE(d.out.find("_MG_0412.JPG"), std::string::npos);
  EXPECT_EQ(d.out.find("IMG_0413.JPG"), std::string::npos);
}

// An old file's surviving header claims far more than the file had left:
// newer photos were written over the rest. They are live on the card and
// must be found, not jumped over.
TEST_F(FileSystemCard, aStaleHeaderClaimEndsWhereNewerLiveFilesBegin) {
  std::string missing;
  if (!HaveTools({"mkfs.vfat", "mcopy", "mdel"}, missing)) GTEST_SKIP() << missing << " is not installed";
  const std::string img = Q(image_);
  ASSERT_EQ(Shell("truncate -s 64M " + img + " && mkfs.vfat -F 32 -s 1 " + img), 0);
  // An AVI whose RIFF size claims 4 MB; on the card it had 8 KB.
  std::vector<uint8_t> avi = Slurp(kCorpus / "RIFF.avi");
  avi.resize(8192, 0x5A);
  const uint32_t claim = 4 << 20;
  std::memcpy(avi.data() + 4, &claim, 4);
  ASSERT_TRUE(WriteFile(dir_.path / "OLD.AVI", avi));
  ASSERT_EQ(Shell("mcopy -i " + img + " " + Q(dir_.path / "OLD.AVI") + " ::/OLD.AVI"), 0);
  ASSERT_EQ(Shell("mcopy -i " + img + " " + Q(kCorpus / "Sony.jpg") + " ::/SONY.JPG"), 0);
  ASSERT_EQ(Shell("mcopy -i " + img + " " + Q(kCorpus / "Nikon.nef") + " ::/NIKON.NEF"), 0);
  ASSERT_EQ(Shell("mdel -i " + img + " ::/OLD.AVI"), 0);
  // The old entry's size grew with its header's claim: it now covers the live files too.
  std::vector<uint8_t> card = Slurp(image_);
  const char entry[] = "\xE5LD     AVI";
  auto at = std::search(card.begin(), card.end(), entry, entry + 11,
                        [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
  ASSERT_NE(at, card.end());
  std::memcpy(&*at + 28, &claim, 4);
  ASSERT_TRUE(WriteFile(image_, card));

  const CliResult r = RunCliScan({image_});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Listed(r, "SONY.JPG", "on card")) << r.out;
  EXPECT_TRUE(Listed(r, "NIKON.NEF", "on card")) << r.out;
  EXPECT_LT(std::stoull("0" + Column(Row(r, "OLD.AVI"), 3)), uint64_t{claim}) << r.out;
}

TEST_F(FileSystemCard, ntfsDeletedFragmentedFileIsSavedByteExactByItsRuns) {
  std::string missing;
  if (!HaveTools({"mkntfs", "ntfs-3g"}, missing)) GTEST_SKIP() << missing << " is not installed";
  const std::string img = Q(image_);
  ASSERT_EQ(Shell("truncate -s 16M " + img + " && mkntfs -F -Q -c 4096 " + img), 0);
  const std::string mount = "ntfs-3g " + img + " " + Q(mnt_);
  std::string fill = "mkdir DCIM";
  for (int i = 1; i <= 10; ++i) fill += " && cp " + Q(kCorpus / "Minolta.jpg") + " DCIM/F" + std::to_string(i) + ".JPG";
  // The rest of the volume is taken, so the next file must go into the gaps.
  fill += " && (dd if=/dev/zero of=FILL bs=4k 2>/dev/null; true) && rm DCIM/F2.JPG DCIM/F4.JPG DCIM/F6.JPG DCIM/F8.JPG";
  if (!Through(mount, fill)) GTEST_SKIP() << "this machine cannot mount NTFS through ntfs-3g";
  ASSERT_TRUE(Through(mount, "cp " + Q(kCorpus / "Google.jpg") + " DCIM/BIG.JPG"));
  ASSERT_TRUE(Through(mount, "rm DCIM/BIG.JPG"));
  fs::create_directory(out_);

  const CliResult r = RunCliScan({image_, "--out", out_, "--template", "%P/%O"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Listed(r, "DCIM/BIG.JPG", "deleted")) << r.out;
  EXPECT_TRUE(Listed(r, "DCIM/F1.JPG", "on card")) << r.out;
  const std::vector<uint8_t> google = Slurp(kCorpus / "Google.jpg");
  EXPECT_EQ(Slurp(out_ / "DCIM/BIG.JPG"), google);
  EXPECT_NE(Contiguous(image_, Row(r, "DCIM/BIG.JPG"), google.size()), google) << "not fragmented";
}

TEST_F(FileSystemCard, exFatAndExt4CardsNameTheirFiles) {
  std::string missing;
  const std::string steps = "mkdir DCIM && cp " + Q(kCorpus / "Canon.jpg") + " DCIM/A.JPG && cp " +
                            Q(kCorpus / "Google.jpg") + " DCIM/B.JPG && rm DCIM/B.JPG";
  for (const std::string kind : {"exfat", "ext4"}) {
    SCOPED_TRACE(kind);
    fs::remove(image_);
    const std::string img = Q(image_);
    if (kind == "exfat") {
      if (!HaveTools({"mkfs.exfat", "mount.exfat-fuse", "losetup"}, missing)) {
        std::printf("exFAT skipped: %s is not installed\n", missing.c_str());
        continue;
      }
      ASSERT_EQ(Shell("truncate -s 32M " + img + " && mkfs.exfat " + img), 0);
      const std::string loop = ShellLine("losetup -f --show " + img);
      const bool ok = !loop.empty() && Through("mount.exfat-fuse " + loop + " " + Q(mnt_), steps);
      Shell("losetup -d " + loop);
      if (!ok) {
        std::printf("exFAT skipped: this machine cannot mount it through FUSE\n");
        continue;
      }
    } else {
      ASSERT_EQ(Shell("truncate -s 32M " + img + " && mkfs.ext4 -q " + img), 0);
      if (!Through("mount -o loop " + img + " " + Q(mnt_), steps)) {
        std::printf("ext4 skipped: this machine cannot mount it\n");
        continue;
      }
    }
    const CliResult r = RunCliScan({image_});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Listed(r, "DCIM/A.JPG", "on card")) << r.out;
    // ext4 clears a deleted file's extents: only exFAT still knows it.
    if (kind == "exfat") {
      EXPECT_TRUE(Listed(r, "DCIM/B.JPG", "deleted")) << r.out;
    }
  }
}

}  // namespace
}  // namespace lumicarve::test
