#include "shell/control_pane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPainter>
#include <QProgressBar>
#include <QSignalBlocker>

#include <algorithm>

#include "controls/gradient.h"
#include "controls/transparent_static.h"
#include "results/ui/pane_preview.h"
#include "shell/app_context.h"
#include "shell/command_button_strip.h"
#include "shell/icons.h"
#include "shell/progress_display.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

const QColor kGrey(0xB0, 0xB0, 0xB0);
const QColor kLine(0x80, 0x80, 0x80);
constexpr int kSeparatorRows[] = {68, 80, 111, 201, 318};

struct LabelSpec {
  const char* text;
  int y;
};
// The six labels of the status values, and the rows of their values. A label
// may take the width up to its value, as a translation may be longer.
constexpr LabelSpec kStatusLabels[] = {
    {QT_TRANSLATE_NOOP("lumicarve::ControlPane", "Elapsed:"), 116},
    {QT_TRANSLATE_NOOP("lumicarve::ControlPane", "Remaining:"), 126},
    {QT_TRANSLATE_NOOP("lumicarve::ControlPane", "Position:"), 136},
    {QT_TRANSLATE_NOOP("lumicarve::ControlPane", "Errors:"), 146},
    {QT_TRANSLATE_NOOP("lumicarve::ControlPane", "Files found:"), 156},
    {QT_TRANSLATE_NOOP("lumicarve::ControlPane", "Total length:"), 166}};

}  // namespace

ControlPane::ControlPane(AppContext* context, QWidget* parent)
    : QWidget(parent), context_(context) {
  // Dialog units follow the pane's font: x × average width / 4, y × height / 8.
  QFontMetrics fm(font());
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  unitX_ = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
  unitY_ = fm.height();

  strip_ = new CommandButtonStrip(this);
  strip_->setGeometry(dialogRect(7, 7, 150, 56));
  strip_->setContext(context);

  addStatic(tr("Device"), dialogRect(7, 72, 70, 8), Qt::white);
  devices_ = new QComboBox(this);
  QRect combo = dialogRect(7, 83, 150, 12);
  devices_->setGeometry(combo.x(), combo.y(), combo.width(), devices_->sizeHint().height());
  devices_->setIconSize(QSize(16, 16));
  connect(devices_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0 || index == context_->selectedDeviceIndex) return;
    if (deviceGuard_ && !deviceGuard_(index)) {
      QSignalBlocker quiet(devices_);
      devices_->setCurrentIndex(context_->selectedDeviceIndex);
      return;
    }
    context_->selectedDeviceIndex = index;
  });

  progressCaption_ = addStatic(tr("Progress"), dialogRect(7, 101, 150, 8), Qt::white);
  for (int i = 0; i < 6; ++i) {
    const LabelSpec& l = kStatusLabels[i];
    addStatic(tr(l.text), dialogRect(7, l.y, 84, 8), kGrey);
  }
  // Value order: elapsed, remaining, position, errors, files found, length.
  for (int i = 0; i < 6; ++i)
    values_[i] = addStatic(QString(), dialogRect(93, kStatusLabels[i].y, 64, 8), Qt::white);
  progress_ = new QProgressBar(this);
  progress_->setGeometry(dialogRect(7, 177, 122, 11));
  progress_->setTextVisible(false);
  progress_->setRange(0, 1000);
  progress_->setValue(0);
  values_[6] = addStatic(QString(), dialogRect(130, 179, 24, 8), Qt::white);

  QPalette boxPalette;
  boxPalette.setColor(QPalette::Base, Qt::black);
  boxPalette.setColor(QPalette::Window, Qt::black);
  boxPalette.setColor(QPalette::WindowText, Qt::white);
  boxPalette.setColor(QPalette::Text, Qt::white);
  boxPalette.setColor(QPalette::Button, Qt::black);
  previewSwitch_ = new QCheckBox(this);
  previewSwitch_->setGeometry(dialogRect(7, 191, 10, 10));
  previewSwitch_->setPalette(boxPalette);
  previewSwitch_->setChecked(context_->previewEnabled != 0);
  previewLabel_ = addStatic(tr("Preview"), dialogRect(18, 192, 42, 8), Qt::white);
  connect(previewSwitch_, &QCheckBox::clicked, this, &ControlPane::previewClicked);
  // Both the click and the double-click of the label toggle the switch.
  auto togglePreview = [this] {
    previewSwitch_->toggle();
    previewClicked();
  };
  connect(previewLabel_, &CTransparentStatic::clicked, this, togglePreview);
  connect(previewLabel_, &CTransparentStatic::doubleClicked, this, togglePreview);

  preview_ = new CImagePreviewStatic(this);
  preview_->setGeometry(dialogRect(7, 207, 150, 100));

  addStatic(tr("Options"), dialogRect(7, 310, 70, 8), Qt::white);
  thumbnailSwitch_ = new QCheckBox(this);
  thumbnailSwitch_->setGeometry(dialogRect(7, 321, 10, 10));
  thumbnailSwitch_->setPalette(boxPalette);
  thumbnailSwitch_->setChecked((context_->displayFlags & 1) != 0);
  thumbnailLabel_ = addStatic(tr("Show thumbnails"), dialogRect(18, 322, 98, 8), Qt::white);
  connect(thumbnailSwitch_, &QCheckBox::clicked, this, &ControlPane::thumbnailsClicked);
  connect(thumbnailLabel_, &CTransparentStatic::clicked, this, [this] {
    if (!thumbnailSwitch_->isEnabled()) return;
    thumbnailSwitch_->toggle();
    thumbnailsClicked();
  });

  setMinimumSize(sizeHint());
}

QRect ControlPane::dialogRect(int x, int y, int w, int h) const {
  return QRect(x * unitX_ / 4, y * unitY_ / 8, w * unitX_ / 4, h * unitY_ / 8);
}

QSize ControlPane::sizeHint() const {
  // As wide as the preview box plus 50 pixels; tall enough for the last row.
  QRect box = dialogRect(7, 207, 150, 100);
  QRect last = dialogRect(7, 322, 98, 16);
  return {box.width() + 50, last.bottom() + 1};
}

CTransparentStatic* ControlPane::addStatic(const QString& text, QRect r, const QColor& colour) {
  auto* s = new CTransparentStatic(text, this);
  s->makeBold();
  s->setTextColour(colour);
  // Bold text needs a little more room than the unit rectangle gives.
  r.setHeight(std::max(r.height(), s->sizeHint().height()));
  r.setWidth(std::max(r.width(), s->sizeHint().width()));
  s->setGeometry(r);
  return s;
}

void ControlPane::initialise() {
  for (int i = 0; i < context_->deviceCount; ++i)
    AddDeviceItem(DeviceLabelText(context_->devices[i]));
  if (context_->deviceCount > 0) selectDevice(0);
  ClearPanePreview(*preview_);
  strip_->setCommandEnable(1, false);
  strip_->setCommandEnable(2, false);
}

void ControlPane::AddDeviceItem(const QString& label) {
  devices_->addItem(DeviceIcon(), label);
}

void ControlPane::insertDeviceItem(int index, const QString& label) {
  QSignalBlocker quiet(devices_);
  devices_->insertItem(index, DeviceIcon(), label);
  devices_->setCurrentIndex(context_->selectedDeviceIndex);
}

void ControlPane::reloadDevices() {
  QSignalBlocker quiet(devices_);
  devices_->clear();
  for (int i = 0; i < context_->deviceCount; ++i)
    AddDeviceItem(DeviceLabelText(context_->devices[i]));
  if (context_->deviceCount > 0)
    devices_->setCurrentIndex(std::clamp(context_->selectedDeviceIndex, 0, context_->deviceCount - 1));
  context_->selectedDeviceIndex = std::max(devices_->currentIndex(), 0);
}

void ControlPane::setProgressCaption(const QString& caption) {
  progressCaption_->setText(caption.isEmpty() ? tr("Progress") : caption);
}

void ControlPane::selectDevice(int index) {
  devices_->setCurrentIndex(index);
  if (index >= 0) context_->selectedDeviceIndex = index;
}

void ControlPane::transferTexts(const ProgressTexts& t) {
  const std::string* texts[7] = {&t.elapsed,    &t.remaining,   &t.position,  &t.errors,
                                 &t.filesFound, &t.totalLength, &t.percentage};
  for (int i = 0; i < 7; ++i) values_[i]->setText(QString::fromStdString(*texts[i]));
}

void ControlPane::setProgress(int perMille) { progress_->setValue(perMille); }

void ControlPane::setThumbnailSwitchEnabled(bool enabled) {
  thumbnailSwitch_->setEnabled(enabled);
  thumbnailLabel_->setTextColour(enabled ? QColor(Qt::white) : kGrey);
}

void ControlPane::previewClicked() {
  if (previewSwitch_->isChecked()) {
    context_->previewEnabled = 1;
  } else {
    context_->previewEnabled = 0;
    ClearPanePreview(*preview_);
  }
  emit switchesChanged();
}

void ControlPane::thumbnailsClicked() {
  if (thumbnailSwitch_->isChecked())
    context_->displayFlags |= 1;
  else
    context_->displayFlags &= ~1;
  emit switchesChanged();
  emit listRefreshRequested();
}

void ControlPane::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintVerticalGradient(p, rect(), QColor(0, 0, 0), QColor(0x28, 0x28, 0x28));
  for (int y : kSeparatorRows) {
    QRect r = dialogRect(7, y, 150, 1);
    p.fillRect(r.x(), r.y(), r.width(), 1, kLine);
  }
}

}  // namespace lumicarve
