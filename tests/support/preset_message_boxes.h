#pragma once

#include "gui/controls/message_boxes.h"

#include <deque>
#include <vector>

namespace tallyhawk
{

// Answers the program's message boxes while it lives: from the queued answers first, then with the
// box's default button (or its first button). Records every box shown.
class PresetMessageBoxes
{
public:
    struct Shown
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        MessageBoxes::Captions captions;
    };

    PresetMessageBoxes()
    {
        MessageBoxes::SetHandler([this](QWidget*,
                                        QMessageBox::Icon icon,
                                        const QString& title,
                                        const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton,
                                        const MessageBoxes::Captions& captions) {
            shown_.push_back({icon, title, text, buttons, captions});
            if (!answers_.empty()) {
                const QMessageBox::StandardButton answer = answers_.front();
                answers_.pop_front();
                return answer;
            }
            if (defaultButton != QMessageBox::NoButton) {
                return defaultButton;
            }
            for (unsigned bit = 1; bit != 0; bit <<= 1) {
                if (buttons.testFlag(static_cast<QMessageBox::StandardButton>(bit))) {
                    return static_cast<QMessageBox::StandardButton>(bit);
                }
            }
            return QMessageBox::NoButton;
        });
    }
    ~PresetMessageBoxes() { MessageBoxes::SetHandler({}); }
    PresetMessageBoxes(const PresetMessageBoxes&) = delete;
    PresetMessageBoxes& operator=(const PresetMessageBoxes&) = delete;

    // The answer to the next box not yet shown.
    void Answer(QMessageBox::StandardButton answer) { answers_.push_back(answer); }
    const std::vector<Shown>& shown() const { return shown_; }
    // The text of the last box, or an empty text.
    QString lastText() const { return shown_.empty() ? QString() : shown_.back().text; }
    void Clear() { shown_.clear(); }

private:
    std::deque<QMessageBox::StandardButton> answers_;
    std::vector<Shown> shown_;
};

} // namespace tallyhawk
