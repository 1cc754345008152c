#include "gui/settings/alert_settings_box.h"

#include "core/settings/settings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace tallyhawk
{

namespace
{

QTime TimeOf(std::int32_t minutes)
{
    return QTime(minutes / 60 % 24, minutes % 60);
}

std::int32_t MinutesOf(const QTime& time)
{
    return time.hour() * 60 + time.minute();
}

QTimeEdit* MakeTimeEdit(const QString& name)
{
    auto* edit = new QTimeEdit;
    edit->setDisplayFormat(QStringLiteral("HH:mm"));
    edit->setAccessibleName(name);
    return edit;
}

} // namespace

AlertSettingsBox::AlertSettingsBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Alerts"), parent)
    , alertAgainDays_(new QSpinBox)
    , quietHours_(new QCheckBox(QStringLiteral("Quiet hours: hold alerts from")))
    , quietStart_(MakeTimeEdit(QStringLiteral("Quiet hours start")))
    , quietEnd_(MakeTimeEdit(QStringLiteral("Quiet hours end")))
{
    setObjectName(QStringLiteral("alertSettings"));
    alertAgainDays_->setObjectName(QStringLiteral("alertAgainDays"));
    alertAgainDays_->setRange(0, Settings::kLongestAlertAgainDays);
    alertAgainDays_->setSpecialValueText(QStringLiteral("0 (always alert)"));
    alertAgainDays_->setAccessibleName(QStringLiteral("Alert again for the same deal after N days"));
    quietHours_->setObjectName(QStringLiteral("quietHours"));
    quietHours_->setAccessibleName(QStringLiteral("Quiet hours"));
    quietStart_->setObjectName(QStringLiteral("quietStart"));
    quietEnd_->setObjectName(QStringLiteral("quietEnd"));

    auto* againBefore = new QLabel(QStringLiteral("Alert again for the same deal after"));
    againBefore->setBuddy(alertAgainDays_);
    auto* againRow = new QHBoxLayout;
    againRow->addWidget(againBefore);
    againRow->addWidget(alertAgainDays_);
    againRow->addWidget(new QLabel(QStringLiteral("days")));
    againRow->addStretch(1);

    auto* to = new QLabel(QStringLiteral("to"));
    to->setBuddy(quietEnd_);
    auto* quietRow = new QHBoxLayout;
    quietRow->addWidget(quietHours_);
    quietRow->addWidget(quietStart_);
    quietRow->addWidget(to);
    quietRow->addWidget(quietEnd_);
    quietRow->addStretch(1);

    auto* summary
        = new QLabel(QStringLiteral("Alerts held in quiet hours come as one summary when they end."));
    summary->setWordWrap(true);
    summary->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(againRow);
    layout->addLayout(quietRow);
    layout->addWidget(summary);

    setTabOrder(alertAgainDays_, quietHours_);
    setTabOrder(quietHours_, quietStart_);
    setTabOrder(quietStart_, quietEnd_);
    connect(quietHours_, &QCheckBox::toggled, this, &AlertSettingsBox::ApplyQuietRule);
    ApplyQuietRule();
}

void AlertSettingsBox::Fill(const Settings& settings)
{
    alertAgainDays_->setValue(settings.alertAgainDays);
    quietHours_->setChecked(settings.quietHours == 1);
    quietStart_->setTime(TimeOf(settings.quietStart));
    quietEnd_->setTime(TimeOf(settings.quietEnd));
    ApplyQuietRule();
}

void AlertSettingsBox::CopyTo(Settings& settings) const
{
    settings.alertAgainDays = alertAgainDays_->value();
    settings.quietHours = quietHours_->isChecked() ? 1 : 0;
    settings.quietStart = MinutesOf(quietStart_->time());
    settings.quietEnd = MinutesOf(quietEnd_->time());
}

void AlertSettingsBox::ApplyQuietRule()
{
    quietStart_->setEnabled(quietHours_->isChecked());
    quietEnd_->setEnabled(quietHours_->isChecked());
}

} // namespace tallyhawk
