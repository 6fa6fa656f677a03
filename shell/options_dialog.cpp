#include "shell/options_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <cstring>

#include "shell/dialog_units.h"
#include "shell/settings.h"
#include "shell/settings_text.h"
#include "text/string_table.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

// "Select all" and "Select none" next to the two class presets.
constexpr FileTypeMask kPresets[4] = {kPictureTypes, kVideoTypes, kAllTypes, 0};

// The template as bytes for the char[260] setting, cut on a whole UTF-8
// character so no half character is stored.
std::string TemplateBytes(const QString& text) {
  std::string bytes = text.toStdString();
  if (bytes.size() <= static_cast<size_t>(kMaxTemplateLength)) return bytes;
  size_t n = kMaxTemplateLength;
  while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) --n;
  return bytes.substr(0, n);
}

// An unsigned decimal number with nothing else, as data exchange reads one.
bool ParseUnsigned(const QString& text, uint64_t& value) {
  const QString t = text.trimmed();
  if (t.isEmpty() || t.size() > 10) return false;
  value = 0;
  for (QChar c : t) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    value = value * 10 + static_cast<uint64_t>(c.unicode() - '0');
  }
  return value <= 0xFFFFFFFFu;
}

QLabel* Label(const QString& text, const QRect& where, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(where);
  return label;
}

QFrame* Line(const QRect& where, QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setGeometry(where);
  return line;
}

}  // namespace

OptionsDialog::OptionsDialog(const AppContext& context, QWidget* parent) : QDialog(parent) {
  std::memcpy(copy_.namingTemplate, context.namingTemplate, sizeof copy_.namingTemplate);
  copy_.namingTemplate[sizeof copy_.namingTemplate - 1] = '\0';
  copy_.typeSelection = context.typeSelection;
  copy_.minimumSize = context.minimumSize;
  catalogue_ = context.catalogue;
  buildControls();
  setChecksFromSelection();
}

void OptionsDialog::buildControls() {
  setWindowTitle(tr("Options"));
  setFixedSize(DluSize(342, 269));
  Label(tr("Folder / filename"), DluRect(7, 7, 54, 8), this)->adjustSize();
  templateEdit_ = new QLineEdit(QString::fromStdString(copy_.namingTemplate), this);
  templateEdit_->setObjectName(QStringLiteral("templateEdit"));
  templateEdit_->setMaxLength(kMaxTemplateLength);
  templateEdit_->setGeometry(DluRect(7, 17, 328, 14));
  connect(templateEdit_, &QLineEdit::textChanged, this, &OptionsDialog::templateChanged);
  QLabel* help = Label(
      tr("%Y: year\n%M: month\n%D: day\n%xN: sequence number where x = number of digits\n folder"),
      DluRect(7, 35, 328, 43), this);
  help->setObjectName(QStringLiteral("templateHelp"));
  help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Line(DluRect(7, 82, 328, 1), this);
  Label(tr("File scan options"), DluRect(7, 89, 54, 8), this)->adjustSize();

  formatList_ = new QListWidget(this);
  formatList_->setObjectName(QStringLiteral("formatList"));
  formatList_->setGeometry(DluRect(7, 100, 164, 117));
  for (const TypeEntry& e : catalogue_) {
    if (e.mask == kAllTypes) break;
    auto* row = new QListWidgetItem(
        QStringLiteral("%1 - %2").arg(QString::fromLatin1(e.extension), Text(e.description)), formatList_);
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(Qt::Unchecked);
    ++rows_;
  }
  const QString presetTexts[4] = {tr("Only pictures"), tr("Only videos"), tr("Select all"), tr("Select none")};
  const int presetY[4] = {108, 129, 156, 177};
  for (int i = 0; i < 4; ++i) {
    presets_[i] = new QPushButton(presetTexts[i], this);
    presets_[i]->setAutoDefault(false);
    presets_[i]->setGeometry(DluRect(187, presetY[i], 50, 14));
    connect(presets_[i], &QPushButton::clicked, this, [this, i] { applyPreset(kPresets[i]); });
  }

  Label(tr("Ignore files with a file size below"), DluRect(7, 226, 121, 8), this)->adjustSize();
  minimumSizeEdit_ = new QLineEdit(QString::number(copy_.minimumSize), this);
  minimumSizeEdit_->setObjectName(QStringLiteral("minimumSizeEdit"));
  minimumSizeEdit_->setGeometry(DluRect(134, 224, 40, 12));
  Label(Text(IDS_KB), DluRect(185, 226, 10, 8), this)->adjustSize();
  Line(DluRect(7, 239, 328, 1), this);

  auto* ok = new QPushButton(tr("OK"), this);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  ok->setGeometry(DluRect(91, 248, 50, 14));
  connect(ok, &QPushButton::clicked, this, &OptionsDialog::accept);
  auto* cancel = new QPushButton(tr("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancel"));
  cancel->setAutoDefault(false);
  cancel->setGeometry(DluRect(203, 248, 50, 14));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void OptionsDialog::setChecksFromSelection() {
  for (int i = 0; i < rows_; ++i) {
    const bool on = (catalogue_[i].mask & copy_.typeSelection & 0xFFFFFFFFu) != 0;
    formatList_->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
}

void OptionsDialog::applyPreset(FileTypeMask selection) {
  copy_.typeSelection = selection;
  setChecksFromSelection();
}

void OptionsDialog::templateChanged() {
  CopyCut(TemplateBytes(templateEdit_->text()), copy_.namingTemplate, sizeof copy_.namingTemplate);
}

void OptionsDialog::refuse(const QString& text, QWidget* focus) {
  QMessageBox box(focus == minimumSizeEdit_ ? QMessageBox::Warning : QMessageBox::Critical,
                  QString::fromLatin1(kApplication), text, QMessageBox::Ok, this);
  box.exec();
  if (focus) focus->setFocus();
}

void OptionsDialog::accept() {
  templateChanged();
  uint64_t kb = 0;
  if (!ParseUnsigned(minimumSizeEdit_->text(), kb)) {
    refuse(Text(IDS_POSITIVE_INTEGER), minimumSizeEdit_);
    minimumSizeEdit_->selectAll();
    return;
  }
  if (kb > kMaxMinimumSizeKb) {
    kb = kMaxMinimumSizeKb;
    minimumSizeEdit_->setText(QString::number(kb));
  }
  copy_.minimumSize = static_cast<int32_t>(kb);
  FileTypeMask selection = 0;
  for (int i = 0; i < rows_; ++i)
    if (formatList_->item(i)->checkState() == Qt::Checked) selection += catalogue_[i].mask;
  copy_.typeSelection = selection;
  if (selection == 0) {
    refuse(Text(IDS_SELECT_FORMATS), formatList_);
    return;
  }
  QDialog::accept();
}

void OptionsDialog::applyTo(AppContext& context) const {
  std::memcpy(context.namingTemplate, copy_.namingTemplate, sizeof context.namingTemplate);
  context.typeSelection = copy_.typeSelection;
  context.minimumSize = copy_.minimumSize;
}

}  // namespace lumicarve
