#include "ui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

namespace lumicarve::test {

QAction* MenuAction(QWidget* menuOrBar, const QString& text) {
  for (QAction* a : menuOrBar->actions())
    if (a->text() == text) return a;
  return nullptr;
}

QMenu* OpenMenu(QMenuBar* bar, const QString& menu) {
  QAction* menuAction = MenuAction(bar, menu);
  if (!menuAction || !menuAction->menu()) return nullptr;
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menuAction).center());
  return QTest::qWaitForWindowExposed(menuAction->menu()) ? menuAction->menu() : nullptr;
}

QString DataPath(const QString& name) {
  return QStringLiteral(LUMICARVE_TEST_DATA "/ui/") + name;
}

QStringList SampleCardFiles() {
  return {QStringLiteral("Kodak.jpg"),                   // 2002-05-01
          QStringLiteral("jfif_only_no_exif.jpg"),       // no date
          QStringLiteral("make_in_model_canon.jpg"),     // 2008-06-21
          QStringLiteral("make_not_in_model_fuji.jpg"),  // 2011-04-30
          QStringLiteral("plasma.gif"),                  // no date
          QStringLiteral("plasma.png"),                  // no date
          QStringLiteral("progressive.jpg")};            // 2019-11-02
}

QList<QPair<QString, QString>> SampleCardSaved() {
  // Numbered in scan order, filed by date; the undated ones under "unsorted".
  const QStringList files = SampleCardFiles();
  return {{QStringLiteral("2002/05/01/0001.JPG"), files[0]}, {QStringLiteral("2008/06/21/0003.JPG"), files[2]},
          {QStringLiteral("2011/04/30/0004.JPG"), files[3]}, {QStringLiteral("2019/11/02/0007.JPG"), files[6]},
          {QStringLiteral("unsorted/0002.JPG"), files[1]},   {QStringLiteral("unsorted/0005.GIF"), files[4]},
          {QStringLiteral("unsorted/0006.PNG"), files[5]}};
}

QByteArray Sha256(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

QStringList FilesBelow(const QString& dir) {
  QStringList names;
  QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) names << QDir(dir).relativeFilePath(it.next());
  names.sort();
  return names;
}

bool MakeCardImage(const QString& image, const QStringList& files, qint64 zeroSectorsBefore) {
  QFile out(image);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  if (zeroSectorsBefore > 0 && !out.resize(zeroSectorsBefore * 512)) return false;
  out.seek(out.size());
  for (const QString& name : files) {
    QFile in(DataPath(name));
    if (!in.open(QIODevice::ReadOnly)) return false;
    QByteArray bytes = in.readAll();
    qint64 padded = (bytes.size() + 511) / 512 * 512 + 512;
    bytes.append(QByteArray(static_cast<int>(padded - bytes.size()), '\0'));
    if (out.write(bytes) != bytes.size()) return false;
  }
  return true;
}

MessageBoxWatcher::MessageBoxWatcher(QMessageBox::StandardButton answer) : answer(answer) {
  connect(&timer_, &QTimer::timeout, this, &MessageBoxWatcher::poll);
  timer_.start(20);
}

void MessageBoxWatcher::poll() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box || !box->isVisible()) return;
  texts << box->text();
  if (!box->informativeText().isEmpty()) informativeTexts << box->informativeText();
  icons << box->icon();
  if (QAbstractButton* button = answer != QMessageBox::NoButton ? box->button(answer) : nullptr)
    button->click();
  else
    box->accept();
}

}  // namespace lumicarve::test
