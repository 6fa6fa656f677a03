// The three large buttons "Search files", "Recover files" and "Cancel" at the
// top of the control pane. They follow the context's CommandEnable flags and
// turn a click into a control request to the main frame.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>

namespace lumicarve {

struct AppContext;

class CommandButtonStrip : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kButtonWidth = 86;
  static constexpr int kButtonHeight = 100;
  static constexpr int kButtons = 3;
  static constexpr int kHoverTimerMs = 100;
  enum Look { kNormal, kDisabled, kHover, kPressed };

  explicit CommandButtonStrip(QWidget* parent = nullptr);

  void setContext(AppContext* context) { context_ = context; }
  // Stores CommandEnable[index] and redraws the buttons.
  void setCommandEnable(int index, bool value);
  bool commandEnabled(int index) const;

  int hoverIndex() const { return hover_; }
  int pressedIndex() const { return pressed_; }
  bool hoverTimerRunning() const { return hoverTimer_.isActive(); }
  Look lookOf(int index) const;
  QSize sizeHint() const override;

 signals:
  // 0 start a scan, 1 recover files, 2 cancel the scan.
  void controlRequest(int code);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  static int buttonAt(const QPoint& pos) { return pos.x() < 0 ? -1 : pos.x() / kButtonWidth; }
  void hoverTick();
  void renderLooks();

  AppContext* context_ = nullptr;
  int hover_ = -1;
  int pressed_ = -1;
  QTimer hoverTimer_;
  std::array<std::array<QPixmap, 4>, kButtons> looks_;
  bool looksRendered_ = false;
};

}  // namespace lumicarve
