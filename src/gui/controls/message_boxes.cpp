#include "gui/controls/message_boxes.h"

#include <utility>

namespace tallyhawk
{

namespace
{

MessageBoxes::Handler& CurrentHandler()
{
    static MessageBoxes::Handler handler;
    return handler;
}

} // namespace

QMessageBox::StandardButton MessageBoxes::Show(QWidget* parent,
                                               QMessageBox::Icon icon,
                                               const QString& title,
                                               const QString& text,
                                               QMessageBox::StandardButtons buttons,
                                               QMessageBox::StandardButton defaultButton)
{
    if (const Handler& handler = CurrentHandler()) {
        return handler(parent, icon, title, text, buttons, defaultButton);
    }
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    const int pressed = box.exec();
    return static_cast<QMessageBox::StandardButton>(pressed);
}

void MessageBoxes::Tell(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon)
{
    Show(parent, icon, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBoxes::Ask(QWidget* parent,
                                              const QString& title,
                                              const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)
{
    return Show(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

void MessageBoxes::SetHandler(Handler handler)
{
    CurrentHandler() = std::move(handler);
}

} // namespace tallyhawk
