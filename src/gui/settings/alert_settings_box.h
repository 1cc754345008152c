#pragma once

#include <QGroupBox>

class QCheckBox;
class QSpinBox;
class QTimeEdit;

namespace tallyhawk
{

class Settings;

// The "Alerts" group of the settings dialog: how many days a deal already alerted stays quiet, and the
// quiet hours during which alerts are held for one summary afterwards.
class AlertSettingsBox : public QGroupBox
{
    Q_OBJECT

public:
    explicit AlertSettingsBox(QWidget* parent = nullptr);

    void Fill(const Settings& settings);
    void CopyTo(Settings& settings) const;

    QSpinBox* alertAgainDays() const { return alertAgainDays_; }
    QCheckBox* quietHours() const { return quietHours_; }
    QTimeEdit* quietStart() const { return quietStart_; }
    QTimeEdit* quietEnd() const { return quietEnd_; }

private:
    void ApplyQuietRule();

    QSpinBox* alertAgainDays_;
    QCheckBox* quietHours_;
    QTimeEdit* quietStart_;
    QTimeEdit* quietEnd_;
};

} // namespace tallyhawk
