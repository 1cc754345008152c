#pragma once

#include <QFrame>

#include <cstdint>

class QLabel;
class QPushButton;

namespace tallyhawk
{

// The strip over the Shopping List that says when a product just saved is due, while the views end
// before that day and so do not show it; "Show It" asks for a view that reaches its day.
class DueNotice : public QFrame
{
    Q_OBJECT

public:
    explicit DueNotice(QWidget* parent = nullptr);

    // Shows "NAME is due on D MMM YYYY." for the product `id`, due at `due`.
    void Tell(const QString& name, std::int32_t id, std::int32_t due);
    // The text in its words, as the strip shows it.
    static QString Text(const QString& name, std::int32_t due);
    // The day of `due` as the notice and the view's caption write it.
    static QString DayText(std::int32_t due);

    std::int32_t productId() const { return id_; }
    std::int32_t due() const { return due_; }
    QLabel* text() const { return text_; }
    QPushButton* showButton() const { return show_; }

signals:
    // The user asked to see the product.
    void showRequested(std::int32_t id, std::int32_t due);

private:
    QLabel* text_;
    QPushButton* show_;
    QPushButton* dismiss_;
    std::int32_t id_ = 0;
    std::int32_t due_ = 0;
};

} // namespace tallyhawk
