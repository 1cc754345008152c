#pragma once

#include <QColor>
#include <QWidget>

namespace tallyhawk
{

// The popup's link line: bold and underlined, cut with an ellipsis when it does not fit, a hand
// cursor and its hover colour while the pointer is over it, its visited colour once followed, the
// address as its tool tip. Enter or Space activates it like a click.
class AlertLink : public QWidget
{
    Q_OBJECT

public:
    struct Colors
    {
        QColor normal;
        QColor hover;
        QColor visited;
    };

    explicit AlertLink(QWidget* parent = nullptr);

    void SetLink(const QString& text, const QString& address);
    void SetColors(const Colors& colors);
    void SetVisited();

    const QString& text() const { return text_; }
    const QString& address() const { return address_; }
    bool hovered() const { return hovered_; }
    bool visited() const { return visited_; }
    // The colour the text is drawn in now.
    QColor currentColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The text is drawn bold and underlined in the widget's font.
    QFont LinkFont() const;

    QString text_;
    QString address_;
    Colors colors_;
    bool hovered_ = false;
    bool visited_ = false;
    bool pressed_ = false;
};

} // namespace tallyhawk
