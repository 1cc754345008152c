#include "gui/shopping/leading_number.h"

#include <QRegularExpression>

#include <cmath>

namespace tallyhawk
{

double LeadingNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = number.match(text.left(20));
    if (!match.hasMatch()) {
        return 0;
    }
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

} // namespace tallyhawk
