#include "gui/views/search_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tallyhawk
{

SearchDialog::SearchDialog(const QString& initialText, QWidget* parent)
    : QDialog(parent)
    , edit_(new QLineEdit(initialText))
{
    setWindowTitle(QStringLiteral("Search"));
    auto* prompt = new QLabel(QStringLiteral("Enter the text that you want to search for:"));
    prompt->setBuddy(edit_);
    edit_->setAccessibleName(QStringLiteral("Search text"));
    edit_->selectAll();

    auto* buttons = new QDialogButtonBox;
    search_ = buttons->addButton(QStringLiteral("Search"), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    search_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        resultText_ = edit_->text();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        resultText_.clear();
        reject();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
}

std::optional<QString> SearchDialog::Ask(const QString& initialText, QWidget* parent)
{
    SearchDialog dialog(initialText, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.resultText();
}

} // namespace tallyhawk
