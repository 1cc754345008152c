#include "gui/shopping/shopping_icons.h"

#include <QApplication>
#include <QStyle>

namespace tallyhawk
{
namespace
{

QIcon Themed(const char* name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), QApplication::style()->standardIcon(fallback));
}

} // namespace

QIcon ShoppingIcons::Coupon()
{
    return Themed("emblem-documents", QStyle::SP_FileIcon);
}

QIcon ShoppingIcons::PriceResult()
{
    return Themed("emblem-money", QStyle::SP_FileDialogDetailedView);
}

QIcon ShoppingIcons::Store()
{
    return Themed("folder", QStyle::SP_DirIcon);
}

QIcon ShoppingIcons::Select()
{
    return Themed("dialog-ok-apply", QStyle::SP_DialogApplyButton);
}

QIcon ShoppingIcons::OpenInBrowser()
{
    return Themed("internet-web-browser", QStyle::SP_DirLinkIcon);
}

QIcon ShoppingIcons::Details()
{
    return Themed("dialog-information", QStyle::SP_MessageBoxInformation);
}

QIcon ShoppingIcons::Search()
{
    return Themed("edit-find", QStyle::SP_FileDialogContentsView);
}

} // namespace tallyhawk
