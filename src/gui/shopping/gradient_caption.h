#pragma once

#include <QLabel>
#include <QPalette>

namespace tallyhawk
{

// A one-line caption on a top-to-bottom gradient between two palette colours, its text vertically
// centred 10 pixels from the left: the section captions of the product editor and the picker's
// headers. Colours come from palette roles, so the caption follows a dark palette.
class GradientCaption : public QLabel
{
    Q_OBJECT

public:
    GradientCaption(const QString& text,
                    QPalette::ColorRole top,
                    QPalette::ColorRole bottom,
                    QPalette::ColorRole textRole,
                    QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPalette::ColorRole top_;
    QPalette::ColorRole bottom_;
    QPalette::ColorRole textRole_;
};

} // namespace tallyhawk
