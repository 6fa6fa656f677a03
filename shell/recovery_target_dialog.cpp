#include "shell/recovery_target_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "recovery/name_template.h"
#include "shell/options_dialog.h"
#include "text/string_table.h"
#include "shell/window_strings.h"

namespace lumicarve {

QString TemplateLegend() {
  return QCoreApplication::translate("RecoveryTargetDialog",
                                     "%Y: year\n%M: month\n%D: day\n%xN: sequence number where x = number of "
                                     "digits\n%O: original file name\n%P: original folder\n\\ or /: folder");
}

RecoveryTargetDialog::RecoveryTargetDialog(const QString& destination, const QString& nameTemplate,
                                           const FoundFile& first, const TypeCatalogue& catalogue,
                                           bool createDataFolders, QWidget* parent)
    : QDialog(parent), first_(first), catalogue_(catalogue), createDataFolders_(createDataFolders) {
  setWindowTitle(Text(IDS_SELECT_DESTINATION));
  auto* form = new QFormLayout;
  destination_ = new QLineEdit(QDir::toNativeSeparators(destination), this);
  destination_->setObjectName(QStringLiteral("destinationEdit"));
  destination_->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
  browse_ = new QPushButton(tr("&Browse..."), this);
  browse_->setAutoDefault(false);
  connect(browse_, &QPushButton::clicked, this, &RecoveryTargetDialog::browse);
  auto* where = new QHBoxLayout;
  where->addWidget(destination_, 1);
  where->addWidget(browse_);
  form->addRow(tr("&Save to:"), where);
  template_ = new QLineEdit(nameTemplate, this);
  template_->setObjectName(QStringLiteral("templateEdit"));
  template_->setMaxLength(kMaxTemplateLength);
  form->addRow(tr("File &names:"), template_);
  auto* legend = new QLabel(TemplateLegend(), this);
  legend->setObjectName(QStringLiteral("templateHelp"));
  form->addRow(QString(), legend);
  example_ = new QLabel(this);
  example_->setObjectName(QStringLiteral("example"));
  example_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(tr("First file:"), example_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setText(Text(IDS_RECOVER_FILES));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(template_, &QLineEdit::textChanged, this, &RecoveryTargetDialog::updateExample);
  connect(destination_, &QLineEdit::textChanged, this, &RecoveryTargetDialog::updateExample);
  updateExample();
}

QString RecoveryTargetDialog::destination() const { return QDir::fromNativeSeparators(destination_->text().trimmed()); }

QString RecoveryTargetDialog::nameTemplate() const { return template_->text(); }

void RecoveryTargetDialog::browse() {
  const QString chosen = QFileDialog::getExistingDirectory(this, Text(IDS_SELECT_DESTINATION), destination());
  if (!chosen.isEmpty()) destination_->setText(QDir::toNativeSeparators(chosen));
}

void RecoveryTargetDialog::updateExample() {
  const std::string relative = ExpandNameTemplate(template_->text().toStdString().c_str(), first_, 1, catalogue_,
                                                  createDataFolders_);
  QString folder = destination();
  if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  example_->setText(QDir::toNativeSeparators(folder + QString::fromStdString(relative)));
  ok_->setEnabled(!destination().isEmpty());
}

}  // namespace lumicarve
