// The relay between the scan thread and the window: with its queue full the
// scan waits, and once the window drains it the scan goes on, every found
// file handed over in the order the scan found it.
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

#include "browse_test_support.h"
#include "scan/scan_loop.h"
#include "shell/scan_relay.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

struct Collect : ScanObserver {
  std::vector<uint64_t> starts;
  void OnProgress(int) override {}
  void OnFileFound(std::unique_ptr<FoundFile> file) override { starts.push_back(file->startSector); }
  void OnFinished(const ScanResult&) override {}
};

// Forwards to the relay and counts found-file calls begun and ended, so the
// test can see the scan thread held inside one.
struct Watched : ScanObserver {
  explicit Watched(ScanRelay& r) : relay(r) {}
  ScanRelay& relay;
  std::atomic<int> begun{0}, ended{0};
  void OnProgress(int perMille) override { relay.OnProgress(perMille); }
  void OnFileFound(std::unique_ptr<FoundFile> file) override {
    ++begun;
    relay.OnFileFound(std::move(file));
    ++ended;
  }
  void OnFinished(const ScanResult& result) override { relay.OnFinished(result); }
};

}  // namespace

class ScanRelayTest : public QObject {
  Q_OBJECT

 private slots:
  void aFullQueueHoldsTheScanUntilTheWindowDrainsItAndNoFileIsLostOrReordered() {
    AppContext context;
    TestCard card;
    for (int i = 0; i < 12; ++i) card.add(QStringLiteral("ui/make_not_in_model_fuji.jpg"), FT_JPG);
    QVERIFY(card.install(context));
    ScanJob job;
    job.handle = context.devices[0].handle;
    job.sectors = context.devices[0].totalSectors;

    Collect direct;
    ScanContext plain(job, direct);
    RunScan(plain);
    QCOMPARE(direct.starts.size(), size_t(12));

    constexpr size_t kRoom = 4;
    std::vector<uint64_t> handed;
    bool finished = false;
    ScanRelay relay(job.handle, [&](ScanRelay::Report& r) {
      if (r.kind == ScanRelay::Report::kFile) handed.push_back(r.file->startSector);
      if (r.kind == ScanRelay::Report::kFinished) finished = true;
    }, nullptr, kRoom);
    Watched watched(relay);
    ScanContext scan(job, watched);
    relay.watch(&scan);
    std::thread thread = StartScanThread(scan);

    // No event is served here, so nothing is drained: the scan stops inside
    // the file that finds the queue full, and stays there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (watched.begun.load() <= int(kRoom) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QCOMPARE(watched.begun.load(), int(kRoom) + 1);
    QCOMPARE(watched.ended.load(), int(kRoom));
    QVERIFY(handed.empty());

    QTRY_VERIFY_WITH_TIMEOUT(finished, 20000);
    thread.join();
    QCOMPARE(handed, direct.starts);
  }
};

LUMICARVE_UI_TEST_MAIN(ScanRelayTest)
#include "scan_relay_test.moc"
