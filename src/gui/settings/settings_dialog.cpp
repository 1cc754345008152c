#include "gui/settings/settings_dialog.h"

#include "core/common/status.h"
#include "core/settings/setting_definitions.h"
#include "core/settings/settings.h"
#include "gui/controls/message_boxes.h"
#include "gui/settings/alert_settings_box.h"
#include "gui/settings/rule_preview_label.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <limits>
#include <string_view>

namespace tallyhawk
{

namespace
{

const QString kTitle = QStringLiteral("Tallyhawk");

// What a keyword box holds, said under it.
const QString kRuleHint = QStringLiteral(
    "Only items whose title, description or store contain all of these words (separated by commas). "
    "| separates alternatives, -word leaves out, \"two words\" is a phrase, word* a word's beginning.");

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

SettingsDialog::SettingsDialog(Settings& settings, QWidget* parent, RecentItems recent)
    : QDialog(parent)
    , settings_(settings)
    , autoRun_(new QCheckBox(QStringLiteral("Automatically run Tallyhawk when I log in")))
    , showNotify_(new QCheckBox(QStringLiteral("Display new deal alerts for")))
    , notifyTimeout_(new QLineEdit)
    , getDeals_(new QCheckBox(QStringLiteral("Subscribe to coupons and deals")))
    , useDealsFilter_(new QCheckBox(QStringLiteral("Download only the deals matching these keywords:")))
    , dealsFilter_(new QLineEdit)
    , getTopics_(new QCheckBox(QStringLiteral("Subscribe to forum topics")))
    , useTopicsFilter_(new QCheckBox(QStringLiteral("Download only the topics matching these keywords:")))
    , topicsFilter_(new QLineEdit)
    , alertSettings_(new AlertSettingsBox)
    , dealsPreview_(new RulePreviewLabel)
    , topicsPreview_(new RulePreviewLabel)
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
    auto* hint = new QLabel(kRuleHint);
    hint->setWordWrap(true);
    hint->setBuddy(dealsFilter_);
    auto* topicsHint = new QLabel(kRuleHint);
    topicsHint->setWordWrap(true);
    topicsHint->setBuddy(topicsFilter_);
    dealsPreview_->setObjectName(QStringLiteral("dealsPreview"));
    topicsPreview_->setObjectName(QStringLiteral("topicsPreview"));
    dealsPreview_->setVisible(bool(recent));
    topicsPreview_->setVisible(bool(recent));
    auto* subscriptions = new QGroupBox(QStringLiteral("Subscriptions"));
    auto* subscriptionsLayout = new QVBoxLayout(subscriptions);
    subscriptionsLayout->addWidget(getDeals_);
    subscriptionsLayout->addWidget(Indented(useDealsFilter_, indent));
    subscriptionsLayout->addWidget(Indented(hint, indent));
    subscriptionsLayout->addWidget(Indented(dealsFilter_, indent));
    subscriptionsLayout->addWidget(Indented(dealsPreview_, indent));
    subscriptionsLayout->addSpacing(fontMetrics().height() / 2);
    subscriptionsLayout->addWidget(getTopics_);
    subscriptionsLayout->addWidget(Indented(useTopicsFilter_, indent));
    subscriptionsLayout->addWidget(Indented(topicsHint, indent));
    subscriptionsLayout->addWidget(Indented(topicsFilter_, indent));
    subscriptionsLayout->addWidget(Indented(topicsPreview_, indent));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(general);
    layout->addWidget(alertSettings_);
    layout->addWidget(subscriptions);
    layout->addStretch(1);
    layout->addWidget(buttons);

    setTabOrder(autoRun_, showNotify_);
    setTabOrder(showNotify_, notifyTimeout_);
    setTabOrder(notifyTimeout_, alertSettings_->alertAgainDays());
    setTabOrder(alertSettings_->alertAgainDays(), alertSettings_->quietHours());
    setTabOrder(alertSettings_->quietHours(), alertSettings_->quietStart());
    setTabOrder(alertSettings_->quietStart(), alertSettings_->quietEnd());
    setTabOrder(alertSettings_->quietEnd(), getDeals_);
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
    connect(dealsFilter_, &QLineEdit::textChanged, dealsPreview_, &RulePreviewLabel::SetRule);
    connect(topicsFilter_, &QLineEdit::textChanged, topicsPreview_, &RulePreviewLabel::SetRule);
    Fill();
    LoadRecentItems(std::move(recent));
}

// Joins the loader while the labels it reports to still stand.
SettingsDialog::~SettingsDialog() = default;

bool SettingsDialog::Edit(QWidget* parent, Settings& settings, RecentItems recent)
{
    SettingsDialog dialog(settings, parent, std::move(recent));
    return dialog.exec() == QDialog::Accepted;
}

void SettingsDialog::LoadRecentItems(RecentItems recent)
{
    if (!recent) {
        return;
    }
    loader_ = std::jthread([this, recent = std::move(recent)](std::stop_token stop) {
        for (const bool topics : {false, true}) {
            if (stop.stop_requested()) {
                return;
            }
            std::vector<ItemRecord> items = recent(topics);
            RulePreviewLabel* label = topics ? topicsPreview_ : dealsPreview_;
            // Delivered on the window thread, and dropped when the dialog has gone.
            QMetaObject::invokeMethod(
                label,
                [label, items = std::move(items)]() mutable { label->SetItems(std::move(items)); },
                Qt::QueuedConnection);
        }
    });
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
    dealsPreview_->SetRule(dealsFilter_->text());
    topicsPreview_->SetRule(topicsFilter_->text());
    alertSettings_->Fill(settings_);
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
    alertSettings_->CopyTo(settings_);
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
