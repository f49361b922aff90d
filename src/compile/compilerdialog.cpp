#include "compile/compilerdialog.h"

#include "compile/compiler.h"
#include "core/base/errors.h"
#include "core/base/words.h"
#include "core/qc/compilerversion.h"
#include "doc/qtext.h"
#include "ui/errorbox.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace vardo {

CompilerDialog::CompilerDialog(Settings &settings, QWidget *parent)
    : QDialog(parent), settings_(settings), found_(new QListWidget(this)), program_(new QLineEdit(this)), arguments_(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Compiler"));
    found_->setObjectName(QStringLiteral("found"));
    program_->setObjectName(QStringLiteral("program"));
    arguments_->setObjectName(QStringLiteral("arguments"));
    program_->setPlaceholderText(
        QStringLiteral("found as usual: frikqcc2.exe here, else fteqcc, gmqcc, frikqcc, qfcc"));
    arguments_->setPlaceholderText(QStringLiteral("none; quote words with blanks as a shell would"));

    // A compiler's version is read from the package database or its bytes; none is run.
    for (const std::string &program : build::foundCompilers()) {
        auto *row = new QListWidgetItem(
            QStringLiteral("%1    %2").arg(displayText(program), displayText(qc::compilerVersion(program))), found_);
        row->setData(Qt::UserRole, displayText(program));
    }
    connect(found_, &QListWidget::itemClicked, this,
            [this](const QListWidgetItem *row) { program_->setText(row->data(Qt::UserRole).toString()); });

    const build::CompilerChoice saved = build::savedChoice(settings_);
    program_->setText(displayText(saved.program));
    arguments_->setText(QString::fromStdString(saved.arguments));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CompilerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CompilerDialog::reject);
    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Program:"), program_);
    fields->addRow(QStringLiteral("&Arguments:"), arguments_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Compilers found (click one to choose it):"), this));
    layout->addWidget(found_);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    resize(560, 300);
}

void CompilerDialog::accept()
{
    const std::string typed = QFile::encodeName(program_->text().trimmed()).toStdString();
    const std::string arguments = arguments_->text().toStdString();
    try {
        splitWords(arguments);
        build::saveChoice(settings_, {typed.empty() ? typed : build::choosableProgram(typed), arguments});
    } catch (const AppError &refused) {
        showErrorBox(QString::fromStdString(refused.what()) + QStringLiteral(". The compiler stays as it was."));
        return;
    }
    QDialog::accept();
}

} // namespace vardo
