#pragma once

#include <QIcon>

namespace tallyhawk
{

// The icons of the product editor and the coupon picker: the desktop theme's where it has one, else
// our bundled set, as everywhere in the program.
struct ShoppingIcons
{
    static QIcon Coupon();
    static QIcon PriceResult();
    static QIcon Store();
    static QIcon Select();
    static QIcon OpenInBrowser();
    static QIcon Details();
    static QIcon Search();
};

} // namespace tallyhawk
