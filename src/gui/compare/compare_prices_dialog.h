#pragma once

#include <QDialog>

#include <cstdint>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tallyhawk
{

class WebSpider;

// "Compare Prices": asks for the item name and the search category of a price comparison. The
// categories come from the agent configuration, which is read afresh each time the dialog opens.
// `categoryName` chooses the category of that name first, whatever its case; none when no category has
// it (the agents' categories are a list of their own, so only a name can tie another list to them).
class ComparePricesDialog : public QDialog
{
    Q_OBJECT

public:
    ComparePricesDialog(WebSpider& spider,
                        const QString& itemName,
                        const QString& categoryName,
                        QWidget* parent = nullptr);

    // After Search was accepted: the item name and the chosen category's id.
    QString itemName() const { return itemName_; }
    std::int32_t categoryId() const { return categoryId_; }

    QLineEdit* nameEdit() const { return nameEdit_; }
    QComboBox* categoryBox() const { return categoryBox_; }
    QPushButton* searchButton() const { return search_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Fills the category list; the message to show once the dialog is up, or an empty text.
    QString LoadCategories(WebSpider& spider, const QString& categoryName);
    void Search();

    QLineEdit* nameEdit_;
    QComboBox* categoryBox_;
    QPushButton* search_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QString loadMessage_;
    bool shown_ = false;
    QString itemName_;
    std::int32_t categoryId_ = 0;
};

} // namespace tallyhawk
