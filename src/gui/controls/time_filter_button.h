#pragma once

#include <QToolButton>

#include <cstdint>

namespace tallyhawk
{

// The time filter: a button whose menu chooses the span of arrival times the views show, marks the
// span chosen, and whose caption names it. Its width is that of the longest caption.
class TimeFilterButton : public QToolButton
{
    Q_OBJECT

public:
    explicit TimeFilterButton(QWidget* parent = nullptr);

    // Sets the caption of the span (one of TimeSpan's) and reports it, as the menu does.
    void Choose(std::int32_t span);
    std::int32_t span() const { return span_; }

    // The menu text of a span; empty for a span the menu does not have.
    static QString SpanText(std::int32_t span);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void spanChosen(std::int32_t span);

protected:
    // The style would draw the menu arrow over the end of the caption; the caption gets the room left of
    // the arrow instead.
    void paintEvent(QPaintEvent* event) override;

private:
    int ArrowWidth() const;

    std::int32_t span_ = -1;
};

} // namespace tallyhawk
