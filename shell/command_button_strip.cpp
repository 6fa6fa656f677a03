#include "shell/command_button_strip.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "controls/gradient.h"
#include "shell/app_context.h"
#include "shell/icons.h"
#include "text/string_table.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

constexpr int kIconSize = 72;
constexpr int kCaptionTop = 80;
constexpr int kCaptionFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

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
const char* const kNames[CommandButtonStrip::kButtons] = {"searchButton", "recoverButton",
                                                          "cancelButton"};

// The strip's font, made smaller until `text` fits `room`, on two lines if
// need be: a translated caption may be much longer than the English one.
QFont CaptionFont(QFont font, const QString& text, const QRect& room) {
  for (qreal size = font.pointSizeF(); size >= 5; size -= 0.5) {
    font.setPointSizeF(size);
    const QRect needed = QFontMetrics(font).boundingRect(room, kCaptionFlags, text);
    if (needed.width() <= room.width() && needed.height() <= room.height()) break;
  }
  return font;
}

}  // namespace

CommandButtonStrip::CommandButtonStrip(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  for (int k = 0; k < kButtons; ++k) {
    auto* b = new CommandButton(this, k);
    b->setGeometry(kButtonWidth * k, 0, kButtonWidth, kButtonHeight);
    b->setEnabled(false);
    connect(b, &QAbstractButton::clicked, this, [this, k] {
      if (commandEnabled(k)) emit controlRequest(k);
    });
    buttons_[k] = b;
  }
}

QSize CommandButtonStrip::sizeHint() const { return {kButtonWidth * kButtons, kButtonHeight}; }

bool CommandButtonStrip::commandEnabled(int index) const {
  return context_ && index >= 0 && index < kButtons && context_->commandEnable[index];
}

void CommandButtonStrip::setCommandEnable(int index, bool value) {
  if (!context_ || index < 0 || index >= kButtons) return;
  context_->commandEnable[index] = value ? 1 : 0;
  buttons_[index]->setEnabled(value);
  update();
}

int CommandButtonStrip::hoverIndex() const {
  for (int k = 0; k < kButtons; ++k)
    if (static_cast<CommandButton*>(buttons_[k])->hovered()) return k;
  return -1;
}

int CommandButtonStrip::pressedIndex() const {
  for (int k = 0; k < kButtons; ++k)
    if (buttons_[k]->isDown()) return k;
  return -1;
}

CommandButtonStrip::Look CommandButtonStrip::lookOf(int index) const {
  if (!commandEnabled(index)) return kDisabled;
  if (buttons_[index]->isDown()) return kPressed;
  if (static_cast<CommandButton*>(buttons_[index])->hovered()) return kHover;
  return kNormal;
}

const QPixmap& CommandButtonStrip::face(int index, Look look) {
  if (!looksRendered_) renderLooks();
  return looks_[index][look];
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
      QRect caption(shift, kCaptionTop, kButtonWidth, kButtonHeight - kCaptionTop);
      p.setFont(CaptionFont(font(), Text(kCaptions[k]), caption));
      p.drawText(caption, kCaptionFlags, Text(kCaptions[k]));
      looks_[k][look] = face;
    }
  }
  looksRendered_ = true;
}

void CommandButtonStrip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintVerticalGradient(p, rect(), QColor(0x30, 0x30, 0x30), QColor(0x80, 0x80, 0x80));
}

CommandButton::CommandButton(CommandButtonStrip* strip, int index)
    : QAbstractButton(strip), strip_(strip), index_(index) {
  setObjectName(QString::fromLatin1(kNames[index]));
  setText(Text(kCaptions[index]));
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  hoverTimer_.setInterval(CommandButtonStrip::kHoverTimerMs);
  connect(&hoverTimer_, &QTimer::timeout, this, &CommandButton::hoverTick);
  // The look follows the press as it follows the hover.
  connect(this, &QAbstractButton::pressed, this, qOverload<>(&QWidget::update));
  connect(this, &QAbstractButton::released, this, qOverload<>(&QWidget::update));
}

QSize CommandButton::sizeHint() const {
  return {CommandButtonStrip::kButtonWidth, CommandButtonStrip::kButtonHeight};
}

void CommandButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, strip_->face(index_, strip_->lookOf(index_)));
  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(3, 3, -3, -3);
    option.backgroundColor = Qt::black;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
  }
}

void CommandButton::mouseMoveEvent(QMouseEvent* event) {
  if (!hovered_) {
    hovered_ = true;
    update();
  }
  if (!hoverTimer_.isActive()) hoverTimer_.start();
  QAbstractButton::mouseMoveEvent(event);
}

void CommandButton::leaveEvent(QEvent* event) {
  hoverTick();
  QAbstractButton::leaveEvent(event);
}

void CommandButton::changeEvent(QEvent* event) {
  // A disabled button shows no press that began before it was disabled.
  if (event->type() == QEvent::EnabledChange && !isEnabled()) setDown(false);
  QAbstractButton::changeEvent(event);
}

void CommandButton::hoverTick() {
  if (rect().contains(mapFromGlobal(QCursor::pos()))) return;
  hovered_ = false;
  hoverTimer_.stop();
  update();
}

}  // namespace lumicarve
