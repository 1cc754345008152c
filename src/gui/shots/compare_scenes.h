#pragma once

#include <QString>

class QWidget;

namespace tallyhawk
{

// The screenshot scenes of the comparison dialogs, over `parent`, on the data folder's agent
// configuration: "compare" (the Compare Prices dialog) and "comparing" (a run in progress against the
// configuration's shops). The dialog shown, or null for another name.
QWidget* ShowCompareScene(const QString& name, QWidget* parent);

} // namespace tallyhawk
