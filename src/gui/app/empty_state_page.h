#pragma once

#include "gui/folders/empty_state.h"

#include <QWidget>

#include <vector>

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace tallyhawk
{

// The page an empty list gives way to: why it is empty, and a button for each next step.
class EmptyStatePage : public QWidget
{
    Q_OBJECT

public:
    explicit EmptyStatePage(QWidget* parent = nullptr);

    void Show(const EmptyState& state);

    QLabel* why() const { return why_; }
    const std::vector<QPushButton*>& stepButtons() const { return buttons_; }

signals:
    void stepChosen(tallyhawk::EmptyState::Step step);

private:
    QLabel* why_;
    QHBoxLayout* steps_;
    std::vector<QPushButton*> buttons_;
};

} // namespace tallyhawk
