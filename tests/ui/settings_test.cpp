// The settings store: first run defaults, what one run writes, and the
// "Misc. Parameters" hex text.
#include <QApplication>
#include <QFile>
#include <QCheckBox>
#include <QSettings>
#include <QTest>

#include <cstdio>
#include <cstring>

#include "shell/app_context.h"
#include "shell/control_pane.h"
#include "shell/main_frame.h"
#include "shell/settings.h"
#include "ui_test_support.h"

using namespace lumicarve;

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QSettings(kOrganisation, kApplication).clear(); }

  void aFirstRunGivesTheDefaults() {
    AppContext context;
    context.createDataFolders = 0;
    context.selectedTests = 0;
    LoadSettings(context);
    QCOMPARE(QByteArray(context.namingTemplate), QByteArray("%Y\\%M\\%D\\%4N"));
    QCOMPARE(context.createDataFolders, 1);
    QCOMPARE(context.scanABDrives, 0);
    QCOMPARE(context.showDriveSerial, 0);
    QCOMPARE(context.selectedTests, 7);
    for (uint8_t b : context.miscParameters) QCOMPARE(int(b), 0);
  }

  void oneRunWritesEverySettingButSelectedTests() {
    {
      CMainFrame frame;
      std::snprintf(frame.context().namingTemplate, 260, "%s", "%Y-%M\\%N");
      frame.context().showDriveSerial = 1;
      // The two switches of the control pane are kept as well.
      QTest::mouseClick(frame.controlPane()->previewSwitch(), Qt::LeftButton);
      QTest::mouseClick(frame.controlPane()->thumbnailSwitch(), Qt::LeftButton);
      QSettings now(kOrganisation, kApplication);
      QCOMPARE(now.value("Preview").toInt(), 0);
      QCOMPARE(now.value("Show Thumbnails").toInt(), 1);
    }
    QSettings s(kOrganisation, kApplication);
    QStringList keys = s.allKeys();
    for (const char* name : {"Scan A B Drives", "Show Drive Serial", "Create Data Folders",
                             "File Filter", "Misc. Parameters"})
      QVERIFY2(keys.contains(QString::fromLatin1(name)), name);
    QVERIFY(!keys.contains(QStringLiteral("Selected Tests")));
    QCOMPARE(s.value("File Filter").toString(), QStringLiteral("%Y-%M\\%N"));
    QCOMPARE(s.value("Show Drive Serial").toInt(), 1);
    QCOMPARE(s.value("Create Data Folders").toInt(), 1);
    QCOMPARE(s.value("Misc. Parameters").toString(),
             QStringLiteral("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
    // The window's layout is kept in the same store under names of its own.
    QVERIFY(keys.contains(QStringLiteral("Window State")));
    // And read back by the next run.
    AppContext context;
    LoadSettings(context);
    QCOMPARE(QByteArray(context.namingTemplate), QByteArray("%Y-%M\\%N"));
    QCOMPARE(context.showDriveSerial, 1);
    QCOMPARE(context.previewEnabled, 0);
    QCOMPARE(context.displayFlags, 1);
    CMainFrame next;
    QVERIFY(!next.controlPane()->previewSwitch()->isChecked());
    QVERIFY(next.controlPane()->thumbnailSwitch()->isChecked());
  }

  void miscParametersReadBackIntoTheSameBytesAndAreWrittenUnchanged() {
    const QString stored = QStringLiteral("00 01 7F 80 FF 10 A5 5A C3 3C 99 66 0F F0 12 EF");
    QSettings(kOrganisation, kApplication).setValue("Misc. Parameters", stored);
    AppContext context;
    LoadSettings(context);
    const uint8_t expected[16] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x10, 0xA5, 0x5A,
                                  0xC3, 0x3C, 0x99, 0x66, 0x0F, 0xF0, 0x12, 0xEF};
    for (int i = 0; i < 16; ++i) QCOMPARE(int(context.miscParameters[i]), int(expected[i]));
    SaveSettings(context);
    QCOMPARE(QSettings(kOrganisation, kApplication).value("Misc. Parameters").toString(), stored);
  }

  void shortOrOverlongValuesNeverOverflowTheirFields() {
    QSettings s(kOrganisation, kApplication);
    s.setValue("Misc. Parameters", QStringLiteral("AB 1"));
    s.setValue("File Filter", QString(400, QLatin1Char('x')));
    s.sync();
    AppContext context;
    LoadSettings(context);
    QCOMPARE(int(context.miscParameters[0]), 0xAB);
    QCOMPARE(int(context.miscParameters[1]), 0x1);
    for (int i = 2; i < 16; ++i) QCOMPARE(int(context.miscParameters[i]), 0);
    QCOMPARE(std::strlen(context.namingTemplate), sizeof context.namingTemplate - 1);
  }
};

LUMICARVE_UI_TEST_MAIN(SettingsTest)
#include "settings_test.moc"
