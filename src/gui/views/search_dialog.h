#pragma once

#include <QDialog>

#include <optional>

class QLineEdit;
class QPushButton;

namespace tallyhawk
{

// Asks for the text to search for ("Search"): Search keeps the typed text, Cancel leaves it empty.
class SearchDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SearchDialog(const QString& initialText, QWidget* parent = nullptr);

    // The text typed when the dialog ended with Search; empty after Cancel.
    QString resultText() const { return resultText_; }
    // Asks for the text, `initialText` first; none for Cancel.
    static std::optional<QString> Ask(const QString& initialText, QWidget* parent);
    QLineEdit* edit() const { return edit_; }
    QPushButton* searchButton() const { return search_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    QLineEdit* edit_;
    QPushButton* search_;
    QPushButton* cancel_;
    QString resultText_;
};

} // namespace tallyhawk
