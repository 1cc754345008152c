#include "gui/controls/theme_icon.h"

#include <QString>

namespace tallyhawk
{

QIcon BundledIcon(const char* name)
{
    return QIcon(QStringLiteral(":/tallyhawk/icons/%1.svg").arg(QString::fromLatin1(name)));
}

QIcon ThemeIcon(const char* name)
{
    const QString themed = QString::fromLatin1(name);
    if (QIcon::hasThemeIcon(themed)) {
        return QIcon::fromTheme(themed);
    }
    return BundledIcon(name);
}

} // namespace tallyhawk
