#pragma once

#include <QString>

namespace tallyhawk
{

class MainWindow;

// The screenshot scenes of the list over the started window, on Coupons & Deals: "search" (the search
// field in use) and "row-menu" (a row's context menu open). True when `name` is one of them; the
// window is then the one to picture ("row-menu" over the whole screen, where its menu shows).
bool SetUpListScene(const QString& name, MainWindow& window);

} // namespace tallyhawk
