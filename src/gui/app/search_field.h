#pragma once

#include <QLineEdit>

class QTimer;

namespace tallyhawk
{

// The field above the list that narrows the view as the user types ("searchField"). The text goes
// out a moment after the last key, at once on Enter or when emptied; Escape empties it, and in an
// empty field hands the focus back to the list.
class SearchField : public QLineEdit
{
    Q_OBJECT

public:
    explicit SearchField(QWidget* parent = nullptr);

    // Shows the view's search text without sending it again (a Find, a folder switch).
    void ShowText(const QString& text);

signals:
    void searchChanged(const QString& text);
    void leaveRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Send();

    QTimer* pause_;
    // The text last sent, or shown by ShowText.
    QString sent_;
};

} // namespace tallyhawk
