#include "shell/about_box.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/gradient.h"
#include "controls/transparent_static.h"
#include "shell/icons.h"

namespace lumicarve {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("About Lumicarve"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QPixmap::fromImage(ApplicationImage(256)));
  icon->setFixedSize(256, 256);
  auto* name = new CTransparentStatic(tr("Lumicarve"), this);
  name->makeBold();
  name->setTextColour(Qt::white);
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 2);
  name->setFont(big);
  auto* version = new CTransparentStatic(tr("Version 1.00"), this);
  version->makeBold();
  version->setTextColour(QColor(0xB0, 0xB0, 0xB0));
  auto* ok = new QPushButton(tr("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addStretch();
  texts->addWidget(name);
  texts->addWidget(version);
  texts->addStretch();
  texts->addWidget(ok, 0, Qt::AlignRight);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(icon);
  layout->addSpacing(16);
  layout->addLayout(texts);
}

void AboutBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintVerticalGradient(p, rect(), QColor(0, 0, 0), QColor(0x28, 0x28, 0x28));
}

}  // namespace lumicarve
