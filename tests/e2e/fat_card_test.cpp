// A FAT32 camera card made with the real tools (mkfs.vfat, mcopy, mdel),
// scanned by lumicarve-cli with --out: every file, deleted or not, comes back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const char* name) { return Shell(std::string("command -v ") + name + " >/dev/null 2>&1") == 0; }

class FatCard : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"mkfs.vfat", "mcopy", "mdel", "mmd"})
      if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    char pattern[] = "/tmp/lumicarve-card-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    image_ = dir_ / "card.img";
    out_ = dir_ / "recovered";
    fs::create_directory(out_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  fs::path dir_, image_, out_;
};

TEST_F(FatCard, everyDeletedAndKeptFileIsRecoveredAndExactWhereTheFormatTellsItsEnd) {
  const fs::path data = LUMICARVE_TEST_DATA;
  std::vector<fs::path> originals;
  for (const char* sub : {"generated/image", "generated/video"})
    for (const auto& e : fs::directory_iterator(data / sub)) originals.push_back(e.path());
  originals.push_back(data / "corpus/M2TS.mts");
  std::sort(originals.begin(), originals.end());

  const std::string img = image_.string();
  ASSERT_EQ(Shell("truncate -s 64M '" + img + "' && mkfs.vfat -F 32 -n CARD '" + img + "' >/dev/null"), 0);
  ASSERT_EQ(Shell("mmd -i '" + img + "' ::/DCIM"), 0);
  std::string copy = "mcopy -i '" + img + "'";
  for (const fs::path& p : originals) copy += " '" + p.string() + "'";
  ASSERT_EQ(Shell(copy + " ::/DCIM/"), 0);
  // A third of them deleted: their clusters stay as they were.
  int deleted = 0;
  for (size_t i = 2; i < originals.size(); i += 3, ++deleted)
    ASSERT_EQ(Shell("mdel -i '" + img + "' '::/DCIM/" + originals[i].filename().string() + "'"), 0);
  ASSERT_GT(deleted, 5);

  const std::string report = (dir_ / "report.csv").string();
  ASSERT_EQ(Shell(std::string(LUMICARVE_CLI_PATH) + " scan '" + img + "' --out '" + out_.string() + "' --report '" +
                report + "' >'" + (dir_ / "list.txt").string() + "' 2>/dev/null"),
            0);

  std::map<std::string, std::vector<uint8_t>> recovered;
  for (const auto& e : fs::directory_iterator(out_)) recovered[e.path().filename().string()] = Slurp(e.path());
  auto exact = [&](const std::vector<uint8_t>& want) {
    for (const auto& [name, bytes] : recovered)
      if (bytes == want) return name;
    return std::string();
  };
  // Recovered longer than the original: the original is its beginning, or,
  // for a stream that runs into the next one, lies inside it.
  auto containing = [&](const std::vector<uint8_t>& want) {
    for (const auto& [name, bytes] : recovered)
      if (bytes.size() >= want.size() && std::search(bytes.begin(), bytes.end(), want.begin(), want.end()) != bytes.end())
        return name;
    return std::string();
  };

  // A JPEG without an end marker runs to the next file; two transport streams
  // with no byte between them (this card's clusters are one sector) are saved
  // as one. An ASF file without video is not kept.
  const std::vector<std::string> longer = {"truncated_no_eoi.jpg", "transport_192.m2ts",
                                           "transport_192_gstreamer.m2ts"};
  const std::vector<std::string> notFound = {"audio_only.wma"};
  for (const fs::path& p : originals) {
    const std::string name = p.filename().string();
    const auto bytes = Slurp(p);
    if (std::find(notFound.begin(), notFound.end(), name) != notFound.end()) {
      EXPECT_EQ(exact(bytes), "") << name;
      continue;
    }
    if (std::find(longer.begin(), longer.end(), name) != longer.end()) {
      EXPECT_EQ(exact(bytes), "") << name;
      EXPECT_NE(containing(bytes), "") << name << " is not inside any recovered file";
      continue;
    }
    EXPECT_NE(exact(bytes), "") << name << " was not recovered byte for byte";
  }

  // The report lists every saved file.
  std::ifstream csv(report);
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "name,type,start_sector,byte_offset,length,date");
  size_t rows = 0;
  while (std::getline(csv, line)) ++rows;
  EXPECT_EQ(rows, recovered.size());
}

TEST_F(FatCard, savingNeverOverwritesAnExistingFile) {
  const fs::path data = LUMICARVE_TEST_DATA;
  const std::string img = image_.string();
  ASSERT_EQ(Shell("truncate -s 8M '" + img + "' && mkfs.vfat -n CARD '" + img + "' >/dev/null"), 0);
  ASSERT_EQ(Shell("mcopy -i '" + img + "' '" + (data / "generated/image/plasma.png").string() + "' ::/"), 0);
  {
    std::ofstream keep(out_ / "00000001.PNG");
    keep << "mine";
  }
  EXPECT_EQ(Shell(std::string(LUMICARVE_CLI_PATH) + " scan '" + img + "' --out '" + out_.string() +
                "' >/dev/null 2>&1"),
            1);
  const auto kept = Slurp(out_ / "00000001.PNG");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "mine");
  for (const auto& e : fs::directory_iterator(out_)) EXPECT_EQ(e.path().filename().string()[0] == '.', false);
}

}  // namespace
