#include "gui/shopping/shopping_icons.h"

#include "gui/controls/theme_icon.h"

namespace tallyhawk
{

QIcon ShoppingIcons::Coupon()
{
    return ThemeIcon("emblem-documents");
}

QIcon ShoppingIcons::PriceResult()
{
    return ThemeIcon("emblem-money");
}

QIcon ShoppingIcons::Store()
{
    return ThemeIcon("folder");
}

QIcon ShoppingIcons::Select()
{
    return ThemeIcon("dialog-ok-apply");
}

QIcon ShoppingIcons::OpenInBrowser()
{
    return ThemeIcon("internet-web-browser");
}

QIcon ShoppingIcons::Details()
{
    return ThemeIcon("dialog-information");
}

QIcon ShoppingIcons::Search()
{
    return ThemeIcon("edit-find");
}

} // namespace tallyhawk
