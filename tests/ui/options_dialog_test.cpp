// File > Options: the format rows, the presets, the two refusals, and what
// OK and Cancel leave in the frame's settings.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <cstring>

#include "shell/main_frame.h"
#include "shell/options_dialog.h"
#include "shell/settings.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

QStringList CheckedRows(const OptionsDialog& d) {
  QStringList rows;
  for (int i = 0; i < d.formatList()->count(); ++i)
    if (d.formatList()->item(i)->checkState() == Qt::Checked) rows << d.formatList()->item(i)->text().section(QStringLiteral(" - "), 0, 0);
  return rows;
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QSettings(kOrganisation, kApplication).clear(); }

  void atStartUpEveryFormatRowIsCheckedInCatalogueOrderWithTheStoredTemplate() {
    CMainFrame frame;
    OptionsDialog d(frame.context());
    QCOMPARE(d.windowTitle(), QStringLiteral("Options"));
    QCOMPARE(d.templateEdit()->text(), QStringLiteral("%Y\\%M\\%D\\%4N"));
    QCOMPARE(d.minimumSizeEdit()->text(), QStringLiteral("0"));
    QCOMPARE(d.findChild<QLabel*>(QStringLiteral("templateHelp"))->text(),
             QStringLiteral("%Y: year\n%M: month\n%D: day\n%xN: sequence number where x = number of "
                            "digits\n%O: original file name\n%P: original folder\n\\ or /: folder"));
    QListWidget* list = d.formatList();
    QCOMPARE(list->count(), 27);
    QCOMPARE(CheckedRows(d).size(), 27);
    QCOMPARE(list->item(0)->text(), QStringLiteral("3GP - 3GPP video"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("AVI - Windows video"));
    QCOMPARE(list->item(2)->text(), QStringLiteral("ARW - Sony RAW"));
    QCOMPARE(list->item(3)->text(), QStringLiteral("AVIF - AVIF image"));
    QCOMPARE(list->item(10)->text(), QStringLiteral("JPG - JPEG file"));
    QCOMPARE(list->item(26)->text(), QStringLiteral("WMV - Windows media video"));
    QCOMPARE(d.templateEdit()->maxLength(), 259);
    // Laid out, at a large font as well: every label and button gets the
    // room its text needs.
    for (int points : {9, 16}) {
      QFont f = d.font();
      f.setPointSize(points);
      d.setFont(f);
      d.show();
      QVERIFY(QTest::qWaitForWindowExposed(&d));
      const QList<QWidget*> widgets = d.findChildren<QWidget*>();
      for (QWidget* w : widgets)
        if (qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w))
          QVERIFY2(w->width() >= w->sizeHint().width() && w->height() >= w->sizeHint().height(),
                   qPrintable(w->property("text").toString()));
      d.hide();
    }
  }

  void eachPresetChecksExactlyItsTypesAndOkKeepsThem() {
    CMainFrame frame;
    OptionsDialog d(frame.context());
    d.presetButton(1)->click();
    QCOMPARE(CheckedRows(d), (QStringList{"3GP", "AVI", "MKV", "MOV", "MP4", "MPG", "MTS", "WEBM", "WMV"}));
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    d.applyTo(frame.context());
    QCOMPARE(frame.context().typeSelection, kVideoTypes);

    OptionsDialog p(frame.context());
    QCOMPARE(CheckedRows(p).size(), 9);
    p.presetButton(0)->click();
    QCOMPARE(CheckedRows(p), (QStringList{"ARW", "AVIF", "BMP", "CR2", "CR3", "DNG", "GIF", "HEIC", "JPG", "NEF",
                                          "ORF", "PEF", "PNG", "RAF", "RW2", "SRW", "TIF", "WEBP"}));
    p.presetButton(2)->click();
    QCOMPARE(CheckedRows(p).size(), 27);
    p.accept();
    // The old types keep their bits; the new ones take free bits.
    QCOMPARE(p.copy().typeSelection, FileTypeMask{0x3FF801FF | 0x1FC00});
  }

  void selectNoneIsRefusedWithTheFormatsMessageAndTheDialogStaysOpen() {
    CMainFrame frame;
    OptionsDialog d(frame.context());
    d.show();
    d.presetButton(3)->click();
    QCOMPARE(CheckedRows(d).size(), 0);
    MessageBoxWatcher boxes;
    d.accept();
    QCOMPARE(boxes.texts, QStringList(QStringLiteral("Please select one or more file formats")));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Critical);
    QVERIFY(d.isVisible());
    QCOMPARE(frame.context().typeSelection, kAllTypes);
  }

  void aMinimumSizeThatIsNotAnUnsignedIntegerIsRefused() {
    CMainFrame frame;
    OptionsDialog d(frame.context());
    d.show();
    for (const char* bad : {"-5", "abc", "", "12.5", "1 2", "99999999999"}) {
      MessageBoxWatcher boxes;
      d.minimumSizeEdit()->setText(QString::fromLatin1(bad));
      d.accept();
      QCOMPARE(boxes.texts, QStringList(QStringLiteral("Please enter a positive integer.")));
      QVERIFY2(d.isVisible(), bad);
    }
    // Beyond the scan's 32-bit byte threshold the size is capped.
    d.minimumSizeEdit()->setText(QStringLiteral("2097152"));
    d.accept();
    QCOMPARE(d.copy().minimumSize, 2097151);
    QCOMPARE(d.minimumSizeEdit()->text(), QStringLiteral("2097151"));
    OptionsDialog e(frame.context());
    e.minimumSizeEdit()->setText(QStringLiteral(" 100 "));
    e.accept();
    QCOMPARE(e.result(), int(QDialog::Accepted));
    QCOMPARE(e.copy().minimumSize, 100);
  }

  void aLongTemplateIsKeptToTheSettingsSize() {
    CMainFrame frame;
    OptionsDialog d(frame.context());
    d.templateEdit()->setText(QString(300, QLatin1Char('x')));
    QCOMPARE(std::strlen(d.copy().namingTemplate), size_t{259});
    // A character of several bytes is never cut in half.
    d.templateEdit()->setText(QString(259, QChar(0x00E9)));
    const std::string stored = d.copy().namingTemplate;
    QVERIFY(stored.size() <= 259);
    QCOMPARE(QString::fromStdString(stored), QString(int(stored.size() / 2), QChar(0x00E9)));
  }

  // Through the frame's menu: Cancel discards the edited copy, OK writes back
  // the three fields and nothing else.
  void cancelLeavesTheFrameUnchangedAndOkWritesOnlyTheThreeFields() {
    CMainFrame frame;
    frame.show();
    frame.context().createDataFolders = 0;
    frame.context().displayFlags = 5;
    auto drive = [](const QString& text, const QString& size, bool ok) {
      QTimer::singleShot(0, [=] {
        auto* d = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        QTest::keyClicks(d->templateEdit(), text);
        d->minimumSizeEdit()->setText(size);
        d->presetButton(1)->click();
        QVERIFY(QByteArray(d->copy().namingTemplate).endsWith(text.toLatin1()));
        d->findChild<QPushButton*>(ok ? QStringLiteral("ok") : QStringLiteral("cancel"))->click();
      });
    };
    drive(QStringLiteral("_x"), QStringLiteral("7"), false);
    frame.action("options")->trigger();
    QCOMPARE(QByteArray(frame.context().namingTemplate), QByteArray("%Y\\%M\\%D\\%4N"));
    QCOMPARE(frame.context().typeSelection, kAllTypes);
    QCOMPARE(frame.context().minimumSize, 0);

    drive(QStringLiteral("_y"), QStringLiteral("100"), true);
    frame.action("options")->trigger();
    QCOMPARE(QByteArray(frame.context().namingTemplate), QByteArray("%Y\\%M\\%D\\%4N_y"));
    QCOMPARE(frame.context().typeSelection, kVideoTypes);
    QCOMPARE(frame.context().minimumSize, 100);
    QCOMPARE(frame.context().createDataFolders, 0);
    QCOMPARE(frame.context().displayFlags, 5);
  }
};

LUMICARVE_UI_TEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
