#pragma once

#include <QFont>
#include <QString>

namespace tallyhawk
{

// `text` when it fits `width`, else as many whole words as fit followed by an ellipsis; a first word
// too long on its own is cut inside it.
QString ElideAtWord(const QString& text, const QFont& font, int width);

// `text` (its own line breaks as spaces) wrapped at words into at most `lines` lines of `width`, the last
// line cut with an ellipsis when the text goes on; the lines are joined with "\n".
QString ElideToLines(const QString& text, const QFont& font, int width, int lines);

} // namespace tallyhawk
