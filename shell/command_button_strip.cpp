#include "shell/command_button_strip.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

#include "controls/gradient.h"
#include "shell/app_context.h"
#include "shell/icons.h"
#include "text/string_table.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

constexpr int kIconSize = 72;
constexpr int kCaptionTop = 80;

struct LookColours {
  QColor top, bottom, caption;
};

LookColours ColoursOf(CommandButtonStrip::Look look) {
  switch (look) {
    case CommandButtonStrip::kHover:
      return {QColor(0x10, 0x10, 0x10), QColor(0x60, 0x60, 0x60), QColor(255, 255, 0)};
    case CommandButtonStrip::kPressed:
      return {QColor(0x60, 0x60, 0x60), QColor(0x10, 0x10, 0x10), Qt::white};
    default:
      return {QColor(0, 0, 0), QColor(0x10, 0x10, 0x10), Qt::white};
  }
}

const uint32_t kCaptions[CommandButtonStrip::kButtons] = {IDS_SEARCH_FILES, IDS_RECOVER_FILES,
                                                          IDS_CANCEL};
const ButtonIcon kIcons[CommandButtonStrip::kButtons] = {ButtonIcon::kSearch, ButtonIcon::kRecover,
                                                         ButtonIcon::kCancel};

}  // namespace

CommandButtonStrip::CommandButtonStrip(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  hoverTimer_.setInterval(kHoverTimerMs);
  connect(&hoverTimer_, &QTimer::timeout, this, &CommandButtonStrip::hoverTick);
}

QSize CommandButtonStrip::sizeHint() const { return {kButtonWidth * kButtons, kButtonHeight}; }

bool CommandButtonStrip::commandEnabled(int index) const {
  return context_ && index >= 0 && index < kButtons && context_->commandEnable[index];
}

void CommandButtonStrip::setCommandEnable(int index, bool value) {
  if (!context_ || index < 0 || index >= kButtons) return;
  context_->commandEnable[index] = value ? 1 : 0;
  update();
}

CommandButtonStrip::Look CommandButtonStrip::lookOf(int index) const {
  if (!commandEnabled(index)) return kDisabled;
  if (index == pressed_) return kPressed;
  if (index == hover_) return kHover;
  return kNormal;
}

void CommandButtonStrip::renderLooks() {
  for (int k = 0; k < kButtons; ++k) {
    for (Look look : {kNormal, kDisabled, kHover, kPressed}) {
      QPixmap face(kButtonWidth, kButtonHeight);
      QPainter p(&face);
      LookColours c = ColoursOf(look);
      PaintVerticalGradient(p, face.rect(), c.top, c.bottom);
      IconLook iconLook = look == kHover      ? IconLook::kHover
                          : look == kDisabled ? IconLook::kDisabled
                                              : IconLook::kNormal;
      int shift = look == kPressed ? 2 : 0;
      p.drawImage(QPoint(7 + shift, 4 + shift), RenderButtonIcon(kIcons[k], iconLook, kIconSize));
      p.setPen(c.caption);
      p.setFont(font());
      QRect caption(shift, kCaptionTop, kButtonWidth, kButtonHeight - kCaptionTop);
      p.drawText(caption, Qt::AlignHCenter | Qt::AlignTop, Text(kCaptions[k]));
      looks_[k][look] = face;
    }
  }
  looksRendered_ = true;
}

void CommandButtonStrip::paintEvent(QPaintEvent*) {
  if (!looksRendered_) renderLooks();
  QPainter p(this);
  PaintVerticalGradient(p, rect(), QColor(0x30, 0x30, 0x30), QColor(0x80, 0x80, 0x80));
  for (int k = 0; k < kButtons; ++k) p.drawPixmap(kButtonWidth * k, 0, looks_[k][lookOf(k)]);
}

void CommandButtonStrip::mouseMoveEvent(QMouseEvent* event) {
  hover_ = buttonAt(event->position().toPoint());
  update();
  if (!hoverTimer_.isActive()) hoverTimer_.start();
}

void CommandButtonStrip::hoverTick() {
  if (rect().contains(mapFromGlobal(QCursor::pos()))) return;
  hover_ = -1;
  update();
  hoverTimer_.stop();
}

void CommandButtonStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = buttonAt(event->position().toPoint());
  update();
}

void CommandButtonStrip::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = -1;
  update();
  int k = buttonAt(event->position().toPoint());
  // Right of the third button lies no button.
  if (k >= 0 && k < kButtons && rect().contains(event->position().toPoint()) && commandEnabled(k))
    emit controlRequest(k);
}

}  // namespace lumicarve
