#include "gui/compare/compare_prices_dialog.h"

#include "core/common/status.h"
#include "core/compare/web_spider.h"
#include "gui/compare/compare_message.h"
#include "gui/controls/record_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tallyhawk
{

ComparePricesDialog::ComparePricesDialog(WebSpider& spider,
                                         const QString& itemName,
                                         const QString& categoryName,
                                         QWidget* parent)
    : QDialog(parent)
    , nameEdit_(new QLineEdit(itemName))
    , categoryBox_(new QComboBox)
{
    setWindowTitle(QStringLiteral("Compare Prices"));
    auto* prompt = new QLabel(QStringLiteral(
        "Please enter the category and item name that you want to compare online prices for:"));
    prompt->setWordWrap(true);

    auto* nameLabel = new QLabel(QStringLiteral("Item name:"));
    nameLabel->setBuddy(nameEdit_);
    nameEdit_->setAccessibleName(QStringLiteral("Item name"));
    auto* categoryLabel = new QLabel(QStringLiteral("Category:"));
    categoryLabel->setBuddy(categoryBox_);
    categoryBox_->setAccessibleName(QStringLiteral("Category"));
    categoryBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    categoryBox_->setMinimumContentsLength(16);

    auto* fields = new QGridLayout;
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(nameEdit_, 0, 1);
    fields->addWidget(categoryLabel, 1, 0);
    fields->addWidget(categoryBox_, 1, 1);
    fields->setColumnStretch(1, 1);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QDialogButtonBox;
    search_ = buttons->addButton(QStringLiteral("Search"), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    search_->setDefault(true);
    search_->setAccessibleName(QStringLiteral("Search"));
    cancel_->setAccessibleName(QStringLiteral("Cancel"));
    connect(search_, &QPushButton::clicked, this, &ComparePricesDialog::Search);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addWidget(line);
    layout->addWidget(buttons);

    setTabOrder(nameEdit_, categoryBox_);
    setTabOrder(categoryBox_, search_);
    setTabOrder(search_, cancel_);
    nameEdit_->setFocus();
    nameEdit_->selectAll();
    // The prompt wraps; give it room for two lines rather than a tall, narrow dialog.
    setMinimumWidth(fontMetrics().averageCharWidth() * 48);

    loadMessage_ = LoadCategories(spider, categoryName);
}

QString ComparePricesDialog::LoadCategories(WebSpider& spider, const QString& categoryName)
{
    if (spider.LoadConfiguration() != kOk) {
        return QStringLiteral("There was an error while loading the web search agents configuration file.");
    }
    const AgentConfiguration& configuration = spider.configuration();
    if (configuration.CategoryCount() == 0) {
        return QStringLiteral(
            "There are no search categories defined in the web search agents configuration file.");
    }
    for (const AgentType& category : configuration.categories()) {
        categoryBox_->addItem(RecordText(category.typeName), category.typeId);
    }
    // The list is sorted by name, as the user reads it.
    categoryBox_->model()->sort(0);
    const QString wanted = categoryName.trimmed();
    categoryBox_->setCurrentIndex(wanted.isEmpty() ? -1
                                                   : categoryBox_->findText(wanted, Qt::MatchFixedString));
    return {};
}

void ComparePricesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    if (!loadMessage_.isEmpty()) {
        // After the dialog is up, so the message stands over it; the dialog stays open.
        QTimer::singleShot(0, this, [this] { ShowCompareMessage(this, loadMessage_); });
    }
}

void ComparePricesDialog::Search()
{
    // A name of spaces alone would search for nothing.
    const QString name = nameEdit_->text().trimmed();
    if (name.isEmpty()) {
        ShowCompareMessage(
            this,
            QStringLiteral("You must first enter the item name for the item that you want to search for."));
        nameEdit_->setFocus();
        return;
    }
    if (categoryBox_->currentIndex() < 0) {
        ShowCompareMessage(
            this,
            QStringLiteral(
                "You must first select the item category for the item that you want to search for."));
        categoryBox_->setFocus();
        return;
    }
    itemName_ = name;
    categoryId_ = categoryBox_->currentData().toInt();
    accept();
}

} // namespace tallyhawk
