// The window in German and in English: menus, a dialog opened through them,
// Qt's own standard buttons, sizes and numbers in the locale's format, and a
// disk image opened by keyboard, listed and refused in the user's language.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/stat.h>

#include "results/ui/file_preview_dialog.h"
#include "results/ui/folder_view_pane.h"
#include "shell/control_pane.h"
#include "shell/main_frame.h"
#include "shell/translations.h"
#include "shell/window_strings.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

// Opens `menu` > `item` by mouse clicks and returns the texts of the modal
// dialog that shows, which is then cancelled with its `cancel` button.
QStringList DialogThroughMenu(CMainFrame& frame, const QString& menu, const QString& item,
                              const QString& cancel) {
  QStringList seen;
  QMenu* popup = OpenMenu(frame.menuBar(), menu);
  if (!popup) return seen;
  QAction* itemAction = MenuAction(popup, item);
  if (!itemAction) return seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    poll.stop();
    seen << dialog->windowTitle();
    for (QPushButton* b : dialog->findChildren<QPushButton*>()) seen << b->text();
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
      if (b->text() == cancel) QTest::mouseClick(b, Qt::LeftButton);
  });
  poll.start(20);
  QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(itemAction).center());
  return seen;
}

// Ctrl+O, the path typed into the file dialog, Enter; returns the text of a
// message box that follows (closed again), or "" when none does. Enter is
// pressed again while the dialog stays open (its completer may take the
// first); a dialog still open after five seconds is cancelled.
QString OpenImageByKeyboard(CMainFrame& frame, const QString& path) {
  QString told;
  int ticks = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
      auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!name || ++ticks > 250) return files->reject();
      if (name->text() != path) {
        name->clear();
        QTest::keyClicks(name, path);
      }
      QTest::keyClick(name, Qt::Key_Return);
    } else if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
      poll.stop();
      told = box->text();
      box->accept();
    }
  });
  poll.start(20);
  QApplication::setActiveWindow(&frame);
  QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
  return told;
}

}  // namespace

class TranslationTest : public QObject {
  Q_OBJECT

 private slots:
  void aGermanLocaleShowsGermanMenusDialogsAndNumbers() {
    // The test runs with LC_ALL=de_DE.UTF-8, read as the program's start reads it.
    if (QLocale::system().language() != QLocale::German) QSKIP("run without a German locale in the environment");
    QVERIFY(InstallTranslations(QLocale::system()));
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QStringList options = DialogThroughMenu(frame, QStringLiteral("&Datei"), QStringLiteral("&Optionen..."),
                                                  QStringLiteral("Abbrechen"));
    QCOMPARE(options, (QStringList{QStringLiteral("Optionen"), QStringLiteral("Nur Bilder"), QStringLiteral("Nur Videos"),
                                   QStringLiteral("Alle auswählen"), QStringLiteral("Keine auswählen"),
                                   QStringLiteral("OK"), QStringLiteral("Abbrechen")}));
    QVERIFY(MenuAction(frame.menuBar(), QStringLiteral("&Ansicht")));
    QCOMPARE(frame.action("searchFiles")->text(), QStringLiteral("Dateien suchen"));
    FolderViewPane tree;
    QCOMPARE(QString::fromStdString(tree.NameText("March")), QStringLiteral("März"));
    // Sizes and counts in German figures, the byte count's word in German.
    QCOMPARE(SizeText(1500000000), QStringLiteral("1,5 GB"));
    QCOMPARE(frame.context().thousandsSeparator, '.');
    QCOMPARE(PreviewLengthText(1500000, frame.context().thousandsSeparator),
             QStringLiteral("1,5 MB (1.500.000 Bytes)"));
    QCOMPARE(PercentText(12.5), QStringLiteral("12,5 %"));
    // A disk image opened by keyboard is listed with its tag and capacity in
    // German; the engine's reason for refusing one is told in German.
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("karte.img"));
    QFile file(image);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(1536000));
    file.close();
    QCOMPARE(OpenImageByKeyboard(frame, image), QString());
    QComboBox* devices = frame.controlPane()->deviceSelector();
    QCOMPARE(devices->currentText(), QStringLiteral("[Abbild] karte.img [1,5 MB]"));
    const QString fifo = dir.filePath(QStringLiteral("rohr"));
    QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString told = OpenImageByKeyboard(frame, fifo);
    QVERIFY2(told.endsWith(fifo + QStringLiteral(" ist weder eine Abbilddatei noch ein Blockgerät")), qPrintable(told));
    // Qt's standard buttons come from Qt's own translation, where installed.
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Discard | QMessageBox::Cancel);
    if (box.button(QMessageBox::Discard)->text() == QStringLiteral("Discard"))
      QSKIP("Qt's German translation (qt6-translations-l10n) is not installed");
    QCOMPARE(box.button(QMessageBox::Discard)->text(), QStringLiteral("Verwerfen"));
  }

  void theEnglishDefaultNeedsNoTranslationAndKeepsItsTexts() {
    QVERIFY(!InstallTranslations(QLocale(QLocale::English, QLocale::UnitedStates)));
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QStringList options = DialogThroughMenu(frame, QStringLiteral("&File"), QStringLiteral("Op&tions..."),
                                                  QStringLiteral("Cancel"));
    QCOMPARE(options.value(0), QStringLiteral("Options"));
    QCOMPARE(options.value(6), QStringLiteral("Cancel"));
    QCOMPARE(frame.context().thousandsSeparator, ',');
    QCOMPARE(PreviewLengthText(1500000, ','), QStringLiteral("1.5 MB (1,500,000 bytes)"));
    QCOMPARE(SizeText(1), QStringLiteral("1 byte"));
    QCOMPARE(PercentText(12.5), QStringLiteral("12.5 %"));
  }
};

LUMICARVE_UI_TEST_MAIN(TranslationTest)
#include "translation_test.moc"
