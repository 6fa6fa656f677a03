// What the window tests share: disk images made from the pictures in
// tests/data/ui, and a watcher that answers the message boxes the window
// shows while a test drives it.
#pragma once

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

namespace lumicarve::test {

QString DataPath(const QString& name);

// Writes `files` (names in tests/data/ui) one after the other into `image`,
// each padded with zeros to its sector end plus one empty sector, so each
// ends as a camera card would leave it. `zeroSectorsBefore` empty sectors
// come first. Returns false when a file cannot be read or the image written.
bool MakeCardImage(const QString& image, const QStringList& files, qint64 zeroSectorsBefore = 0);

// The files of the sample card, with their capture dates.
QStringList SampleCardFiles();

// Where saving the whole sample card under the default template puts each
// of its files: (path below the destination, name in tests/data/ui).
QList<QPair<QString, QString>> SampleCardSaved();

// The SHA-256 of a file's bytes, in hex; empty when it cannot be read.
QByteArray Sha256(const QString& path);

// Every file below `dir`, hidden ones too, relative and sorted.
QStringList FilesBelow(const QString& dir);

// The action of `menuOrBar` (a menu bar or a menu) whose text is `text`.
QAction* MenuAction(QWidget* menuOrBar, const QString& text);
// Opens the menu `menu` of `bar` with a mouse click: the menu once shown,
// else null.
QMenu* OpenMenu(QMenuBar* bar, const QString& menu);

// Closes every modal message box as soon as it shows, remembering its text
// and icon: with `answer` when the box has that button, else as accepted.
class MessageBoxWatcher : public QObject {
  Q_OBJECT

 public:
  explicit MessageBoxWatcher(QMessageBox::StandardButton answer = QMessageBox::NoButton);
  QStringList texts, informativeTexts;
  QList<QMessageBox::Icon> icons;
  QMessageBox::StandardButton answer;

 private:
  void poll();
  QTimer timer_;
};

}  // namespace lumicarve::test

// A test main that points the settings store at a fresh temporary folder
// before the application starts, and runs the widgets offscreen.
#define LUMICARVE_UI_TEST_MAIN(TestClass)                                   \
  int main(int argc, char** argv) {                                         \
    QTemporaryDir config;                                                   \
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());                \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                     \
      qputenv("QT_QPA_PLATFORM", "offscreen");                              \
    QApplication app(argc, argv);                                           \
    TestClass test;                                                         \
    return QTest::qExec(&test, argc, argv);                                 \
  }
