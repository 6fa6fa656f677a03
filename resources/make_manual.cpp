// Turns the Markdown manual into a PDF: make_manual <manual.md> <out.pdf>.
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_manual <manual.md> <out.pdf>\n");
    return 2;
  }
  QFile in(QString::fromLocal8Bit(argv[1]));
  if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  QTextDocument doc;
  QFont font(QStringLiteral("Sans Serif"));
  font.setPointSize(10);
  doc.setDefaultFont(font);
  doc.setMarkdown(QString::fromUtf8(in.readAll()));

  QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
  pdf.setTitle(QStringLiteral("Lumicarve manual"));
  pdf.setCreator(QStringLiteral("Lumicarve"));
  pdf.setPageSize(QPageSize(QPageSize::A4));
  pdf.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
  doc.print(&pdf);
  // QPdfWriter reports no error; a missing or empty file tells.
  return QFile(QString::fromLocal8Bit(argv[2])).size() > 0 ? 0 : 1;
}
