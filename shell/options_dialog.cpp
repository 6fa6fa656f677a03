#include "shell/options_dialog.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>

#include "shell/recovery_target_dialog.h"
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

QFrame* Line(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
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
  // Laid out by Qt, so no text is cut at any font size.
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Folder / filename"), this));
  templateEdit_ = new QLineEdit(QString::fromStdString(copy_.namingTemplate), this);
  templateEdit_->setObjectName(QStringLiteral("templateEdit"));
  templateEdit_->setMaxLength(kMaxTemplateLength);
  connect(templateEdit_, &QLineEdit::textChanged, this, &OptionsDialog::templateChanged);
  layout->addWidget(templateEdit_);
  auto* help = new QLabel(TemplateLegend(), this);
  help->setObjectName(QStringLiteral("templateHelp"));
  help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(help);
  layout->addWidget(Line(this));
  layout->addWidget(new QLabel(tr("File scan options"), this));

  auto* formats = new QHBoxLayout;
  formatList_ = new QListWidget(this);
  formatList_->setObjectName(QStringLiteral("formatList"));
  for (const TypeEntry& e : catalogue_) {
    if (e.mask == kAllTypes) break;
    auto* row = new QListWidgetItem(
        QStringLiteral("%1 - %2").arg(QString::fromLatin1(e.extension), Text(e.description)), formatList_);
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(Qt::Unchecked);
    ++rows_;
  }
  formatList_->setMinimumWidth(formatList_->sizeHintForColumn(0) + 2 * formatList_->frameWidth() + 24);
  formats->addWidget(formatList_, 1);
  auto* presets = new QVBoxLayout;
  const QString presetTexts[4] = {tr("Only pictures"), tr("Only videos"), tr("Select all"), tr("Select none")};
  for (int i = 0; i < 4; ++i) {
    presets_[i] = new QPushButton(presetTexts[i], this);
    presets_[i]->setAutoDefault(false);
    connect(presets_[i], &QPushButton::clicked, this, [this, i] { applyPreset(kPresets[i]); });
    presets->addWidget(presets_[i]);
    if (i == 1) presets->addSpacing(fontMetrics().height());
  }
  presets->addStretch(1);
  formats->addLayout(presets);
  layout->addLayout(formats, 1);

  auto* minimum = new QHBoxLayout;
  auto* minimumLabel = new QLabel(tr("Ignore files with a file size below"), this);
  minimumSizeEdit_ = new QLineEdit(QString::number(copy_.minimumSize), this);
  minimumSizeEdit_->setObjectName(QStringLiteral("minimumSizeEdit"));
  minimumSizeEdit_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000000")));
  minimumLabel->setBuddy(minimumSizeEdit_);
  minimum->addWidget(minimumLabel);
  minimum->addWidget(minimumSizeEdit_);
  minimum->addWidget(new QLabel(Text(IDS_KB), this));
  minimum->addStretch(1);
  layout->addLayout(minimum);
  layout->addWidget(Line(this));

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("cancel"));
  cancel->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetMinimumSize);
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
