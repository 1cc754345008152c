#pragma once

#include <QMessageBox>

#include <functional>
#include <utility>
#include <vector>

namespace tallyhawk
{

// Every message box and question of the program goes through here, so tests can answer them from a
// preset instead of a modal window.
class MessageBoxes
{
public:
    // Captions in place of some standard buttons' own, for answers that say what they do.
    using Captions = std::vector<std::pair<QMessageBox::StandardButton, QString>>;
    using Handler = std::function<QMessageBox::StandardButton(QWidget* parent,
                                                              QMessageBox::Icon icon,
                                                              const QString& title,
                                                              const QString& text,
                                                              QMessageBox::StandardButtons buttons,
                                                              QMessageBox::StandardButton defaultButton,
                                                              const Captions& captions)>;

    // Shows the box and returns the button pressed (Escape gives the box's escape button).
    static QMessageBox::StandardButton Show(QWidget* parent,
                                            QMessageBox::Icon icon,
                                            const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
                                            const Captions& captions = {});
    // A message with an OK button.
    static void Tell(QWidget* parent,
                     const QString& title,
                     const QString& text,
                     QMessageBox::Icon icon = QMessageBox::Information);
    // A question; Yes and No unless other buttons are given.
    static QMessageBox::StandardButton Ask(QWidget* parent,
                                           const QString& title,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons
                                           = QMessageBox::Yes | QMessageBox::No,
                                           QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
                                           const Captions& captions = {});

    // A Yes/No question that does not wait for its answer: the box opens (window-modal where it has a
    // parent) and `answered` gets the button once it closes, with no event loop of its own. A preset
    // answers at once. Closing the box without a button counts as No.
    static void AskLater(QWidget* parent,
                         const QString& title,
                         const QString& text,
                         std::function<void(QMessageBox::StandardButton)> answered);

    // Replaces the real boxes; an empty handler brings them back. Window thread only.
    static void SetHandler(Handler handler);
};

} // namespace tallyhawk
