#pragma once

#include <QString>

class QWidget;

namespace tallyhawk
{

class MainWindow;

// The screenshot scenes of the row cards, "cards-<folder>" for coupons, topics, shopping, purchases
// and comparison: the main window on that folder with its second row chosen. Folders that the demo
// service does not fill (the shopping list, the purchase history, a comparison) get a few sample
// records in the data folder; the shopping samples' store names show from the second card scene of a
// run on. Nothing for another name.
QWidget* SetUpCardScene(const QString& name, MainWindow& window);

} // namespace tallyhawk
