#include "gui/controls/message_boxes.h"

#include <QAbstractButton>

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
                                               QMessageBox::StandardButton defaultButton,
                                               const Captions& captions)
{
    if (const Handler& handler = CurrentHandler()) {
        return handler(parent, icon, title, text, buttons, defaultButton, captions);
    }
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    for (const auto& [button, caption] : captions) {
        if (QAbstractButton* shown = box.button(button)) {
            shown->setText(caption);
        }
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
                                              QMessageBox::StandardButton defaultButton,
                                              const Captions& captions)
{
    return Show(parent, QMessageBox::Question, title, text, buttons, defaultButton, captions);
}

void MessageBoxes::AskLater(QWidget* parent,
                            const QString& title,
                            const QString& text,
                            std::function<void(QMessageBox::StandardButton)> answered)
{
    const QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (const Handler& handler = CurrentHandler()) {
        answered(handler(parent, QMessageBox::Question, title, text, buttons, QMessageBox::NoButton, {}));
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Question, title, text, buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, answered = std::move(answered)] {
        QAbstractButton* clicked = box->clickedButton();
        const QMessageBox::StandardButton button
            = clicked != nullptr ? box->standardButton(clicked) : QMessageBox::NoButton;
        answered(button == QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::No);
    });
    box->open();
}

void MessageBoxes::SetHandler(Handler handler)
{
    CurrentHandler() = std::move(handler);
}

} // namespace tallyhawk
