#include "gui/settings/settings_dialog.h"

#include "core/common/status.h"
#include "core/settings/setting_definitions.h"
#include "core/settings/settings.h"
#include "gui/controls/message_boxes.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <limits>
#include <string_view>

namespace tallyhawk
{

namespace
{

const QString kTitle = QStringLiteral("Tallyhawk");

// The longest keyword list the settings keep: a longer one would come back cut at the next start.
int KeywordLimit(std::string_view name)
{
    const SettingDefinition* definition = FindSetting(name);
    return definition != nullptr && definition->readLimit < 32767 ? static_cast<int>(definition->readLimit)
                                                                  : 32767;
}

int Checked(const QCheckBox* box)
{
    return box->isChecked() ? 1 : 0;
}

// A filter's check box and edit stand under their subscription, indented by one check box.
QWidget* Indented(QWidget* widget, int indent)
{
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(indent, 0, 0, 0);
    layout->addWidget(widget);
    return holder;
}

} // namespace

SettingsDialog::SettingsDialog(Settings& settings, QWidget* parent)
    : QDialog(parent)
    , settings_(settings)
    , autoRun_(new QCheckBox(QStringLiteral("Automatically run Tallyhawk when I log in")))
    , showNotify_(new QCheckBox(QStringLiteral("Display new deal alerts for")))
    , notifyTimeout_(new QLineEdit)
    , getDeals_(new QCheckBox(QStringLiteral("Subscribe to coupons and deals")))
    , useDealsFilter_(new QCheckBox(QStringLiteral("Download only the deals  matching this keywords:")))
    , dealsFilter_(new QLineEdit)
    , getTopics_(new QCheckBox(QStringLiteral("Subscribe to forum topics")))
    , useTopicsFilter_(new QCheckBox(QStringLiteral("Download only the topics matching this keywords:")))
    , topicsFilter_(new QLineEdit)
{
    setWindowTitle(QStringLiteral("Tallyhawk Settings"));

    autoRun_->setAccessibleName(autoRun_->text());
    showNotify_->setAccessibleName(showNotify_->text());
    notifyTimeout_->setAccessibleName(QStringLiteral("Alert timeout in seconds"));
    // Wide enough for a few digits; the text itself is checked on OK.
    notifyTimeout_->setMaximumWidth(notifyTimeout_->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 8);
    getDeals_->setAccessibleName(getDeals_->text());
    useDealsFilter_->setAccessibleName(useDealsFilter_->text());
    dealsFilter_->setAccessibleName(QStringLiteral("Deal keywords"));
    dealsFilter_->setMaxLength(KeywordLimit("DealsFilter"));
    getTopics_->setAccessibleName(getTopics_->text());
    useTopicsFilter_->setAccessibleName(useTopicsFilter_->text());
    topicsFilter_->setAccessibleName(QStringLiteral("Topic keywords"));
    topicsFilter_->setMaxLength(KeywordLimit("TopicsFilter"));

    auto* seconds = new QLabel(QStringLiteral("seconds"));
    seconds->setBuddy(notifyTimeout_);
    auto* timeoutRow = new QHBoxLayout;
    timeoutRow->addWidget(showNotify_);
    timeoutRow->addWidget(notifyTimeout_);
    timeoutRow->addWidget(seconds);
    timeoutRow->addStretch(1);

    auto* general = new QGroupBox(QStringLiteral("General Settings"));
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(autoRun_);
    generalLayout->addLayout(timeoutRow);

    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth)
        + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    auto* hint = new QLabel(QStringLiteral("( You can enter multiple keywords separated by comma )"));
    hint->setBuddy(dealsFilter_);
    auto* subscriptions = new QGroupBox(QStringLiteral("Subscriptions"));
    auto* subscriptionsLayout = new QVBoxLayout(subscriptions);
    subscriptionsLayout->addWidget(getDeals_);
    subscriptionsLayout->addWidget(Indented(useDealsFilter_, indent));
    subscriptionsLayout->addWidget(Indented(hint, indent));
    subscriptionsLayout->addWidget(Indented(dealsFilter_, indent));
    subscriptionsLayout->addSpacing(fontMetrics().height() / 2);
    subscriptionsLayout->addWidget(getTopics_);
    subscriptionsLayout->addWidget(Indented(useTopicsFilter_, indent));
    subscriptionsLayout->addWidget(Indented(topicsFilter_, indent));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(general);
    layout->addWidget(subscriptions);
    layout->addStretch(1);
    layout->addWidget(buttons);

    setTabOrder(autoRun_, showNotify_);
    setTabOrder(showNotify_, notifyTimeout_);
    setTabOrder(notifyTimeout_, getDeals_);
    setTabOrder(getDeals_, useDealsFilter_);
    setTabOrder(useDealsFilter_, dealsFilter_);
    setTabOrder(dealsFilter_, getTopics_);
    setTabOrder(getTopics_, useTopicsFilter_);
    setTabOrder(useTopicsFilter_, topicsFilter_);
    setTabOrder(topicsFilter_, buttons);

    connect(getDeals_, &QCheckBox::clicked, this, &SettingsDialog::ApplyDealsRule);
    connect(useDealsFilter_, &QCheckBox::clicked, this, &SettingsDialog::ApplyDealsRule);
    connect(getTopics_, &QCheckBox::clicked, this, &SettingsDialog::ApplyTopicsRule);
    connect(useTopicsFilter_, &QCheckBox::clicked, this, &SettingsDialog::ApplyTopicsRule);
    Fill();
}

bool SettingsDialog::Edit(QWidget* parent, Settings& settings)
{
    SettingsDialog dialog(settings, parent);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<std::int32_t> SettingsDialog::ReadTimeout(const QString& text)
{
    qsizetype at = 0;
    while (at < text.size() && text[at].isSpace()) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == QLatin1Char('+') || text[at] == QLatin1Char('-'))) {
        negative = text[at] == QLatin1Char('-');
        ++at;
    }
    long long number = 0;
    for (; at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9'); ++at) {
        number = number * 10 + (text[at].unicode() - u'0');
        if (number > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(negative ? -number : number);
}

void SettingsDialog::Fill()
{
    autoRun_->setChecked(settings_.autoRun == 1);
    showNotify_->setChecked(settings_.showNotify == 1);
    notifyTimeout_->setText(QString::number(settings_.notifyTimeout));
    getDeals_->setChecked(settings_.getDeals == 1);
    useDealsFilter_->setChecked(settings_.useDealsFilter == 1);
    dealsFilter_->setText(QString::fromStdString(settings_.dealsFilter));
    getTopics_->setChecked(settings_.getTopics == 1);
    useTopicsFilter_->setChecked(settings_.useTopicsFilter == 1);
    topicsFilter_->setText(QString::fromStdString(settings_.topicsFilter));
    ApplyDealsRule();
    ApplyTopicsRule();
}

void SettingsDialog::ApplyDealsRule()
{
    useDealsFilter_->setEnabled(getDeals_->isChecked());
    dealsFilter_->setEnabled(getDeals_->isChecked() && useDealsFilter_->isChecked());
}

void SettingsDialog::ApplyTopicsRule()
{
    useTopicsFilter_->setEnabled(getTopics_->isChecked());
    topicsFilter_->setEnabled(getTopics_->isChecked() && useTopicsFilter_->isChecked());
}

void SettingsDialog::accept()
{
    const std::optional<std::int32_t> timeout = ReadTimeout(notifyTimeout_->text());
    if (!timeout || *timeout < 1) {
        MessageBoxes::Tell(
            this, kTitle, QStringLiteral("The alert timeout must be a valid number."), QMessageBox::Warning);
        notifyTimeout_->setFocus();
        notifyTimeout_->selectAll();
        return;
    }
    settings_.showNotify = Checked(showNotify_);
    settings_.autoRun = Checked(autoRun_);
    settings_.notifyTimeout = *timeout;
    settings_.getDeals = Checked(getDeals_);
    settings_.getTopics = Checked(getTopics_);
    settings_.useDealsFilter = Checked(useDealsFilter_);
    settings_.useTopicsFilter = Checked(useTopicsFilter_);
    settings_.dealsFilter = dealsFilter_->text().toStdString();
    settings_.topicsFilter = topicsFilter_->text().toStdString();
    if (settings_.Save() != kOk) {
        MessageBoxes::Tell(
            this,
            kTitle,
            QStringLiteral("There was an error while saving the Tallyhawk settings in the settings "
                           "file.\nPlease check that you have the required permissions to modify "
                           "the settings file."),
            QMessageBox::Warning);
        return;
    }
    settings_.ApplyAutoRun();
    QDialog::accept();
}

} // namespace tallyhawk
