#include "gui/app/empty_state_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tallyhawk
{

EmptyStatePage::EmptyStatePage(QWidget* parent)
    : QWidget(parent)
    , why_(new QLabel)
    , steps_(new QHBoxLayout)
{
    // It stands where the list's rows would, on the same background.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    why_->setWordWrap(true);
    why_->setAlignment(Qt::AlignCenter);
    why_->setForegroundRole(QPalette::Text);
    QFont larger = why_->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.2);
    why_->setFont(larger);
    why_->setAccessibleName(QStringLiteral("Why the list is empty"));
    steps_->addStretch(1);
    steps_->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);
    layout->addStretch(1);
    layout->addWidget(why_);
    layout->addLayout(steps_);
    layout->addStretch(2);
}

void EmptyStatePage::Show(const EmptyState& state)
{
    why_->setText(state.why);
    // A button may be the one whose click led here; it goes once its signal returned.
    for (QPushButton* button : buttons_) {
        steps_->removeWidget(button);
        button->hide();
        button->deleteLater();
    }
    buttons_.clear();
    for (const EmptyState::Step step : state.steps) {
        auto* button = new QPushButton(EmptyState::StepText(step), this);
        button->setAccessibleName(button->text());
        connect(button, &QPushButton::clicked, this, [this, step] { emit stepChosen(step); });
        // Between the two stretches, so the buttons stay centred under the text.
        steps_->insertWidget(steps_->count() - 1, button);
        buttons_.push_back(button);
    }
}

} // namespace tallyhawk
