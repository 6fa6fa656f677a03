// lumicarve-cli scan: runs the same scan thread as the window, prints every
// found file, and optionally saves the files and writes a CSV report.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_progress.h"
#include "cli/file_saver.h"
#include "devices/device_describe.h"
#include "devices/device_list.h"
#include "filesystem/file_system_pass.h"
#include "scan/filetime.h"
#include "scan/scan_loop.h"
#include "scan/sector_reader.h"
#include "recovery/destination_check.h"
#include "recovery/pending_file.h"
#include "recovery/jpeg_exif_date.h"
#include "text/string_table.h"
#include "text/text_format.h"

namespace lumicarve::cli {
namespace {

// The scan a signal cancels; null outside a scan.
std::atomic<ScanContext*> g_scan{nullptr};
// Numbers on the terminal are grouped with commas, whatever the locale.
constexpr char kSeparator = ',';
// Raised with the scan's cancel, so a file being saved stops within a block
// instead of being copied to its end.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<ScanContext*>::is_always_lock_free,
              "used from a signal handler");

// The first SIGINT or SIGTERM cancels the scan and the save under way; a
// second ends the program at once. A file being saved has no name yet, so
// nothing of it stays.
void OnInterrupt(int signal) {
  if (g_interrupted.exchange(true)) ::_exit(128 + signal);
  if (ScanContext* scan = g_scan.load()) scan->Cancel();
}

constexpr const char* kScanHelp =
    "usage: lumicarve-cli scan SOURCE [--out DIR [--template T] [--flat]] [--types LIST]\n"
    "                          [--min-size KB] [--deleted-only] [--raw-only]\n"
    "                          [--report FILE]\n"
    "\n"
    "Reads SOURCE sector by sector and lists every photo and video found in it.\n"
    "SOURCE is a disk image file, a block device such as /dev/sdb, or the index of\n"
    "a disk in the table that 'lumicarve-cli devices' prints. SOURCE is only ever\n"
    "read. The command line opens a device directly, so a physical disk needs root:\n"
    "run it with sudo (sudo lumicarve-cli scan /dev/sdb --out ~/recovered). The\n"
    "window instead asks the system for permission to read a disk.\n"
    "\n"
    "  --out DIR       save every found file as DIR/<name>, byte for byte. DIR must\n"
    "                  not lie on the scanned disk; existing files are never\n"
    "                  overwritten.\n"
    "  --template T    with --out: save each file under the naming template T, as\n"
    "                  the window does. %Y year, %M month, %D day (the capture\n"
    "                  date the file records), %xN a sequence number of x digits\n"
    "                  (%N: 4); '\\' or '/' separates folders. Undated files go to\n"
    "                  the folder \"unsorted\". The file type's extension is\n"
    "                  appended, and an existing name gets \" (2)\", \" (3)\", ...\n"
    "                  %O is the name the file had on the card without its\n"
    "                  extension, %P its folder there (the numbered name and no\n"
    "                  folder when the card's file system does not know the\n"
    "                  file). Examples:\n"
    "                  --template '%Y/%M/%D/%4N' saves 2012/05/17/0001.JPG;\n"
    "                  --template '%P/%O' saves DCIM/100CANON/IMG_0412.JPG.\n"
    "  --flat          with --out: drop the template's folders (default template\n"
    "                  %Y\\%M\\%D\\%4N); every file goes directly into DIR.\n"
    "  --types LIST    what to look for: a comma-separated list of extensions (jpg,\n"
    "                  png, gif, bmp, tif, heic, avif, webp, cr2, cr3, nef, pef,\n"
    "                  orf, dng, arw, rw2, srw, raf, mov, mp4, 3gp, avi, mpg, wmv,\n"
    "                  mts, mkv, webm), or pictures, videos, all.\n"
    "                  Default: all.\n"
    "  --min-size KB   leave out files smaller than KB kilobytes (default 0).\n"
    "  --deleted-only  leave out the files the card's file system still lists as\n"
    "                  present: they are on the card already.\n"
    "  --raw-only      read the raw sectors alone: no original names, states or\n"
    "                  extents from the card's file system.\n"
    "  --report FILE   write a CSV of the found files (name, type, start sector,\n"
    "                  byte offset, length, date in ISO 8601, original path, state,\n"
    "                  modified and created times from the file system).\n"
    "\n"
    "Progress goes to stderr, one line per found file to stdout:\n"
    "  name  type  start sector  length  date  original path  state  modified  created\n"
    "where state is \"on card\", \"deleted\", or \"-\" when no file-system entry\n"
    "names the file (found through the file system alone: \"deleted, by name\" or\n"
    "\"on card, by name\").\n"
    "and with --out one line per saved file:  saved  path\n"
    "Ctrl-C stops the scan cleanly, and a file being saved at once: files saved\n"
    "so far stay, the one cut short is removed.\n"
    "Exit codes: 0 done, 1 runtime error, 2 usage.\n";

struct Options {
  std::string source, out, report;
  std::string nameTemplate;
  bool useTemplate = false, flat = false, deletedOnly = false, rawOnly = false;
  FileTypeMask types = kAllTypes;
  int32_t minimumKb = 0;
};

int Usage(const char* why) {
  std::fprintf(stderr, "lumicarve-cli: %s\n", why);
  std::fputs("Run 'lumicarve-cli scan --help' for the options.\n", stderr);
  return 2;
}

bool ParseTypes(const TypeCatalogue& catalogue, const std::string& list, FileTypeMask& out) {
  out = 0;
  size_t from = 0;
  while (from <= list.size()) {
    size_t comma = list.find(',', from);
    std::string word = list.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    for (char& ch : word) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (word == "ALL") out = kAllTypes;
    else if (word == "PICTURES") out |= kPictureTypes;
    else if (word == "VIDEOS") out |= kVideoTypes;
    else {
      FileTypeMask found = 0;
      for (const TypeEntry& e : catalogue) {
        if (e.mask == kAllTypes) break;
        if (word == e.extension) found = e.mask;
      }
      if (!found) return false;
      out |= found;
    }
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return out != 0;
}

bool ParseArgs(int argc, char** argv, const TypeCatalogue& catalogue, Options& o, int& exitCode) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kScanHelp, stdout);
      exitCode = 0;
      return false;
    } else if (arg == "--out") {
      if (!value(o.out)) return exitCode = Usage("--out needs a folder"), false;
    } else if (arg == "--template") {
      if (!value(o.nameTemplate)) return exitCode = Usage("--template needs a naming template"), false;
      if (o.nameTemplate.size() > 259) return exitCode = Usage("--template: at most 259 characters"), false;
      o.useTemplate = true;
    } else if (arg == "--flat") {
      o.flat = true;
    } else if (arg == "--deleted-only") {
      o.deletedOnly = true;
    } else if (arg == "--raw-only") {
      o.rawOnly = true;
    } else if (arg == "--report") {
      if (!value(o.report)) return exitCode = Usage("--report needs a file name"), false;
    } else if (arg == "--types") {
      if (!value(v) || !ParseTypes(catalogue, v, o.types)) return exitCode = Usage("--types: unknown type list"), false;
    } else if (arg == "--min-size") {
      char* end = nullptr;
      if (!value(v) || v.empty() || v[0] == '-') return exitCode = Usage("--min-size needs a number of KB"), false;
      unsigned long kb = std::strtoul(v.c_str(), &end, 10);
      if (*end || kb > 2097151) return exitCode = Usage("--min-size needs a number of KB up to 2097151"), false;
      o.minimumKb = static_cast<int32_t>(kb);
    } else if (!arg.empty() && arg[0] == '-') {
      return exitCode = Usage(("unknown option " + arg).c_str()), false;
    } else if (o.source.empty()) {
      o.source = arg;
    } else {
      return exitCode = Usage("only one SOURCE can be scanned"), false;
    }
  }
  if (o.source.empty()) return exitCode = Usage("no SOURCE given"), false;
  if ((o.useTemplate || o.flat) && o.out.empty()) return exitCode = Usage("--template and --flat need --out"), false;
  if (o.flat && !o.useTemplate) {
    o.nameTemplate = "%Y\\%M\\%D\\%4N";
    o.useTemplate = true;
  }
  return true;
}

std::string IsoDate(uint64_t filetime) {
  CalendarTime t;
  if (!filetime || !FiletimeToCalendar(filetime, t)) return "";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

const char* TypeName(const TypeCatalogue& catalogue, uint32_t type, char* ext) {
  return ExtensionForType(catalogue, type, ext);
}

std::string OriginalPath(const FoundFile& f) {
  if (!f.origin) return "";
  return f.origin->folder.empty() ? f.origin->name : f.origin->folder + "/" + f.origin->name;
}

const char* StateText(const FoundFile& f) {
  const bool byName = f.origin && f.origin->foundByFileSystem;
  switch (StateOf(f)) {
    case FileState::kLive:
      return byName ? "on card, by name" : "on card";
    case FileState::kDeleted:
      return byName ? "deleted, by name" : "deleted";
    case FileState::kUnknown:
      break;
  }
  return "-";
}

// A CSV field: quoted, with inner quotes doubled, when it holds a comma,
// quote or line break (original names may).
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + '"';
}

// Handles the scan's reports in place, on the scan thread.
class CliObserver : public ScanObserver {
 public:
  CliObserver(int deviceFd, const TypeCatalogue& catalogue, FileSaver* saver, bool deletedOnly)
      : fd_(deviceFd), catalogue_(catalogue), saver_(saver), deletedOnly_(deletedOnly) {}

  // The scan whose counters the progress line shows and which a fatal save
  // error cancels; set before the scan starts.
  void Attach(ScanContext& scan) {
    scan_ = &scan;
    progress_ = std::make_unique<ProgressLine>(scan, scan.ScannedSectors(), kSeparator);
  }

  void OnProgress(int perMille) override {
    if (!scan_->Cancelled()) progress_->Update(perMille);
  }

  void OnPhase(ScanPhase phase) override { progress_->Phase(phase); }

  void OnFileFound(std::unique_ptr<FoundFile> file) override {
    if (deletedOnly_ && StateOf(*file) == FileState::kLive) return;
    // Dated as the window dates a JPEG, before its name or report line is made.
    DateJpegFromExif(fd_, *file);
    char ext[kExtensionSize];
    const uint64_t modified = file->origin ? file->origin->modified : 0;
    const uint64_t created = file->origin ? file->origin->created : 0;
    std::printf("%s\t%s\t%" PRIu64 "\t%" PRIu64 "\t%s\t%s\t%s\t%s\t%s\n", file->name,
                TypeName(catalogue_, file->type, ext), file->startSector, file->length, IsoDate(file->date).c_str(),
                OriginalPath(*file).c_str(), StateText(*file), IsoDate(modified).c_str(), IsoDate(created).c_str());
    std::fflush(stdout);
    if (saver_ && !saver_->Save(*file)) {
      failed_ = true;
      if (saver_->fatal()) scan_->Cancel();
    }
    found_.push_back(*file);
  }

  void OnFinished(const ScanResult& result) override {
    result_ = result;
    progress_->Finish(result.end == ScanEnd::kCompleted);
  }

  const ScanResult& result() const { return result_; }
  bool failed() const { return failed_; }
  const std::vector<FoundFile>& found() const { return found_; }

 private:
  const int fd_;
  const TypeCatalogue& catalogue_;
  FileSaver* saver_;
  const bool deletedOnly_;
  ScanContext* scan_ = nullptr;
  std::unique_ptr<ProgressLine> progress_;
  ScanResult result_;
  bool failed_ = false;
  std::vector<FoundFile> found_;
};

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The report is made in its folder before the scan starts, written when it
// ends, and named only then; an existing file of its name is never replaced.
bool WriteReport(const TypeCatalogue& catalogue, PendingFile& pending, const std::string& path,
                 const std::vector<FoundFile>& files) {
  std::string text = "name,type,start_sector,byte_offset,length,date,original_path,state,modified,created\n";
  for (const FoundFile& f : files) {
    char ext[kExtensionSize], line[512];
    std::snprintf(line, sizeof line, "%s,%s,%" PRIu64 ",%" PRIu64 ",%" PRIu64 ",%s,", f.name,
                  TypeName(catalogue, f.type, ext), f.startSector, f.startSector * kSectorSize, f.length,
                  IsoDate(f.date).c_str());
    text += line;
    // The original path may be longer than any fixed line.
    text += CsvField(OriginalPath(f)) + ',' + StateText(f) + ',' + IsoDate(f.origin ? f.origin->modified : 0) + ',' +
            IsoDate(f.origin ? f.origin->created : 0) + '\n';
  }
  const size_t slash = path.find_last_of('/');
  int error = WriteAll(pending.fd(), text) ? pending.Publish(path.substr(slash == std::string::npos ? 0 : slash + 1))
                                           : errno;
  if (error == 0) return true;
  std::fprintf(stderr, "lumicarve-cli: cannot write %s: %s\n", path.c_str(),
               error == EEXIST ? "it exists; not replaced" : std::strerror(error));
  return false;
}

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Refuses a destination (a folder, or the folder of the report) that lies on
// the scanned disk or cannot be told apart from it; names both.
bool DestinationElsewhere(const std::string& what, const std::string& path, const DeviceEntry& device) {
  const DestinationDisk disk = CheckDestinationDisk(path, device.handle);
  if (disk.result == DiskCheck::kOnScannedDisk) {
    std::fprintf(stderr, "lumicarve-cli: %s lies on the disk being scanned (%s: %s); choose a folder on another drive\n",
                 what.c_str(), device.path, disk.detail.Text().c_str());
    return false;
  }
  if (disk.result == DiskCheck::kUnresolved) {
    std::fprintf(stderr,
                 "lumicarve-cli: cannot tell whether %s lies on the disk being scanned (%s): %s; choose a folder on "
                 "another drive\n",
                 what.c_str(), device.path, disk.detail.Text().c_str());
    return false;
  }
  return true;
}

// --out: the folder is checked against the scanned disk where it exists, or
// at its nearest existing parent before the missing part is made.
bool PrepareOutFolder(const std::string& out, const DeviceEntry& device) {
  std::string existing = out;
  struct stat st {};
  while (::stat(existing.c_str(), &st) != 0) {
    if (errno != ENOENT || existing == "/" || existing == ".") break;
    existing = ParentFolder(existing);
  }
  if (::stat(existing.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "lumicarve-cli: %s is not a folder\n", out.c_str());
    return false;
  }
  if (!DestinationElsewhere(out, existing, device)) return false;
  for (size_t from = existing == "." ? 0 : existing.size(); existing != out;) {
    const size_t slash = out.find('/', from + 1);
    existing = out.substr(0, slash);
    from = slash == std::string::npos ? out.size() : slash;
    if (!existing.empty() && ::mkdir(existing.c_str(), 0777) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "lumicarve-cli: cannot make %s: %s\n", existing.c_str(), std::strerror(errno));
      return false;
    }
  }
  if (::stat(out.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "lumicarve-cli: %s is not a folder\n", out.c_str());
    return false;
  }
  // access() answers EROFS for a read-only mount, even for root.
  if (::access(out.c_str(), W_OK | X_OK) != 0) {
    std::fprintf(stderr, "lumicarve-cli: %s %s: %s\n", LoadString(IDS_ERROR_WRITING), out.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

// --report: refused when it names the source or any existing file, or lies on
// the scanned disk; the pending file is made now, so an unwritable folder is
// known before the scan.
bool PrepareReport(const std::string& report, const DeviceEntry& device, int& folderFd, PendingFile& pending) {
  struct stat st {}, src {};
  if (::lstat(report.c_str(), &st) == 0) {
    const bool isSource = ::fstat(device.handle, &src) == 0 && st.st_dev == src.st_dev && st.st_ino == src.st_ino;
    std::fprintf(stderr, "lumicarve-cli: --report %s %s; not replaced\n", report.c_str(),
                 isSource ? "is the source being scanned" : "exists");
    return false;
  }
  const std::string folder = ParentFolder(report);
  if (!DestinationElsewhere("--report " + report, folder, device)) return false;
  folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int error = folderFd < 0 ? errno : pending.Create(folderFd);
  if (error != 0) {
    std::fprintf(stderr, "lumicarve-cli: cannot write %s: %s\n", report.c_str(), std::strerror(error));
    return false;
  }
  return true;
}

int OpenSource(DeviceTable& c, const std::string& source) {
  const bool index = !source.empty() && source.find_first_not_of("0123456789") == std::string::npos;
  if (index) {
    BuildDeviceTable(c);
    const long n = std::strtol(source.c_str(), nullptr, 10);
    if (n >= c.deviceCount) {
      std::fprintf(stderr, "lumicarve-cli: there is no disk %ld in the table (%d listed)\n", n, c.deviceCount);
      const std::string denied = DeniedDevicesText(c.devicesDenied, ::geteuid() == 0);
      if (!denied.empty()) std::fprintf(stderr, "lumicarve-cli: %s\n", denied.c_str());
      return -1;
    }
    return static_cast<int>(n);
  }
  Message error;
  const int i = AddImageDevice(c, source, &error);
  if (i >= 0) return i;
  std::fprintf(stderr, "lumicarve-cli: %s\n", error.Text().c_str());
  struct stat st {};
  // The command line opens a device itself; it never asks the system to.
  if (::stat(source.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && ::access(source.c_str(), R_OK) != 0)
    std::fprintf(stderr, "lumicarve-cli: reading a physical disk needs root: run lumicarve-cli with sudo\n");
  return -1;
}

}  // namespace

int RunScanCommand(int argc, char** argv) {
  TypeCatalogue catalogue{};
  FillTypeCatalogue(catalogue);
  Options o;
  int exitCode = 2;
  if (!ParseArgs(argc, argv, catalogue, o, exitCode)) return exitCode;

  auto table = std::make_unique<DeviceTable>();
  const int index = OpenSource(*table, o.source);
  if (index < 0) return 1;
  const DeviceEntry& device = table->devices[index];

  std::unique_ptr<FileSaver> saver;
  PendingFile report;
  int reportFolder = -1;
  struct CloseFolder {
    int& fd;
    ~CloseFolder() {
      if (fd >= 0) ::close(fd);
    }
  } closeReportFolder{reportFolder};
  if (!o.report.empty() && !PrepareReport(o.report, device, reportFolder, report)) return 1;
  if (!o.out.empty()) {
    if (!PrepareOutFolder(o.out, device)) return 1;
    if (o.useTemplate)
      saver = std::make_unique<FileSaver>(device.handle, o.out, o.nameTemplate, !o.flat, catalogue);
    else
      saver = std::make_unique<FileSaver>(device.handle, o.out);
    saver->setCancel(&g_interrupted);
  }

  ScanJob job;
  job.handle = device.handle;
  job.sectors = device.totalSectors;
  job.types = o.types;
  job.minimumBytes = uint64_t(uint32_t(o.minimumKb)) * 1024;
  job.carveHints = o.rawOnly ? nullptr : MakeFileSystemPass;
  CliObserver observer(device.handle, catalogue, saver.get(), o.deletedOnly);
  ScanContext c(job, observer);
  observer.Attach(c);
  g_interrupted.store(false);
  g_scan.store(&c);
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);

  // The signals are taken on this thread only: the scan thread and the
  // threads it starts keep them blocked, so a signal never interrupts their
  // reads and writes (a write to a full pipe would fail with EINTR and end the
  // listing early) and the handler always finds the scan in a known state.
  sigset_t interrupts;
  sigemptyset(&interrupts);
  sigaddset(&interrupts, SIGINT);
  sigaddset(&interrupts, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &interrupts, nullptr);
  std::thread scan = StartScanThread(c);
  ::pthread_sigmask(SIG_UNBLOCK, &interrupts, nullptr);
  scan.join();
  sa.sa_handler = SIG_DFL;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  g_scan.store(nullptr);

  int result = 0;
  const ScanResult& end = observer.result();
  if (end.end == ScanEnd::kDeviceLost) {
    const std::string mb = FormatWithSeparators(static_cast<int64_t>(end.lostSector / 2048), kSeparator);
    std::fprintf(stderr, "lumicarve-cli: ");
    std::fprintf(stderr, LoadString(IDS_DEVICE_LOST), mb.c_str());
    std::fprintf(stderr, "\n");
    result = 1;
  } else if (end.end == ScanEnd::kCancelled) {
    std::fprintf(stderr, "lumicarve-cli: scan cancelled\n");
    result = 1;
  } else if (c.filesFound.load() == 0) {
    std::fprintf(stderr, "%s\n", LoadString(IDS_NO_FILES_FOUND));
  } else {
    std::fprintf(stderr, "%s %s %s\n", LoadString(IDS_SCAN_COMPLETED),
                 FormatWithSeparators(c.filesFound.load(), kSeparator).c_str(), LoadString(IDS_FILES_FOUND));
  }
  if (observer.failed()) result = 1;
  if (!o.report.empty() && !WriteReport(catalogue, report, o.report, observer.found())) result = 1;
  return result;
}

}  // namespace lumicarve::cli
