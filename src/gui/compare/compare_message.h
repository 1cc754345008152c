#pragma once

#include "gui/controls/message_boxes.h"

namespace tallyhawk
{

// The comparison dialogs' messages: an OK box with the program's title and the exclamation icon.
inline void ShowCompareMessage(QWidget* parent, const QString& text)
{
    MessageBoxes::Tell(parent, QStringLiteral("Tallyhawk"), text, QMessageBox::Warning);
}

} // namespace tallyhawk
