#include "gui/app/search_field.h"

#include <QKeyEvent>
#include <QTimer>

namespace tallyhawk
{
namespace
{

// Long enough to let a word be typed whole, short enough to feel immediate.
constexpr int kTypingPauseMs = 250;

} // namespace

SearchField::SearchField(QWidget* parent)
    : QLineEdit(parent)
    , pause_(new QTimer(this))
{
    setObjectName(QStringLiteral("searchField"));
    setPlaceholderText(QStringLiteral("Search (Ctrl+F)"));
    setAccessibleName(QStringLiteral("Search"));
    setToolTip(QStringLiteral("Shows only the items that hold every word typed here"));
    setClearButtonEnabled(true);
    pause_->setSingleShot(true);
    pause_->setInterval(kTypingPauseMs);
    connect(pause_, &QTimer::timeout, this, &SearchField::Send);
    // Only the user's edits; ShowText sets the text without them.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.isEmpty()) {
            Send();
        } else {
            pause_->start();
        }
    });
    // The clear button empties the field without an edit signal.
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty() && !signalsBlocked() && !pause_->isActive()) {
            Send();
        }
    });
    connect(this, &QLineEdit::returnPressed, this, &SearchField::Send);
}

void SearchField::ShowText(const QString& text)
{
    pause_->stop();
    const QSignalBlocker quiet(this);
    setText(text);
    sent_ = text;
}

void SearchField::Send()
{
    pause_->stop();
    // One search per text: an empty field that empties again, or Enter on what already shows, asks for
    // no new load.
    if (text() == sent_) {
        return;
    }
    sent_ = text();
    emit searchChanged(sent_);
}

void SearchField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (text().isEmpty()) {
            emit leaveRequested();
        } else {
            clear();
            Send();
        }
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace tallyhawk
