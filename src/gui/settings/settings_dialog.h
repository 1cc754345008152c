#pragma once

#include "core/store/item_record.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tallyhawk
{

class AlertSettingsBox;
class RulePreviewLabel;
class Settings;

// "Tallyhawk Settings": start at login, alerts and their timeout, repeats and quiet hours, the
// subscriptions and their keyword filters, each with the count of recent items its rule lets through.
// OK checks the timeout, copies the controls into the settings, saves them and writes or removes the
// autostart entry; a save that fails keeps the dialog open. Cancel changes nothing.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    // The newest stored items of the forum topics or of the coupons and deals, newest first. Runs on
    // a thread of the dialog's own, never on the window thread.
    using RecentItems = std::function<std::vector<ItemRecord>(bool topics)>;

    // Without `recent` the keyword boxes show no count.
    SettingsDialog(Settings& settings, QWidget* parent = nullptr, RecentItems recent = {});
    ~SettingsDialog() override;

    // Shows the dialog over `parent` until it is closed; true when the settings were saved.
    static bool Edit(QWidget* parent, Settings& settings, RecentItems recent = {});

    // The timeout text as a number: its leading decimal digits after any blanks and one sign, 0
    // without digits; nothing when the number does not fit 32 bits.
    static std::optional<std::int32_t> ReadTimeout(const QString& text);

    void accept() override;

    QCheckBox* autoRun() const { return autoRun_; }
    QCheckBox* showNotify() const { return showNotify_; }
    QLineEdit* notifyTimeout() const { return notifyTimeout_; }
    QCheckBox* getDeals() const { return getDeals_; }
    QCheckBox* useDealsFilter() const { return useDealsFilter_; }
    QLineEdit* dealsFilter() const { return dealsFilter_; }
    QCheckBox* getTopics() const { return getTopics_; }
    QCheckBox* useTopicsFilter() const { return useTopicsFilter_; }
    QLineEdit* topicsFilter() const { return topicsFilter_; }
    AlertSettingsBox* alertSettings() const { return alertSettings_; }
    RulePreviewLabel* dealsPreview() const { return dealsPreview_; }
    RulePreviewLabel* topicsPreview() const { return topicsPreview_; }

private:
    void Fill();
    // The filter check boxes follow their subscription, the keyword edits their filter check box.
    void ApplyDealsRule();
    void ApplyTopicsRule();
    void LoadRecentItems(RecentItems recent);

    Settings& settings_;
    QCheckBox* autoRun_;
    QCheckBox* showNotify_;
    QLineEdit* notifyTimeout_;
    QCheckBox* getDeals_;
    QCheckBox* useDealsFilter_;
    QLineEdit* dealsFilter_;
    QCheckBox* getTopics_;
    QCheckBox* useTopicsFilter_;
    QLineEdit* topicsFilter_;
    AlertSettingsBox* alertSettings_;
    RulePreviewLabel* dealsPreview_;
    RulePreviewLabel* topicsPreview_;
    // Reads the recent items; joined before the dialog's widgets go.
    std::jthread loader_;
};

} // namespace tallyhawk
