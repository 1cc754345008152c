#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>

class QCheckBox;
class QLineEdit;

namespace tallyhawk
{

class Settings;

// "Tallyhawk Settings": start at login, alerts and their timeout, the subscriptions and their keyword
// filters. OK checks the timeout, copies the controls into the settings, saves them and writes or
// removes the autostart entry; a save that fails keeps the dialog open. Cancel changes nothing.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    SettingsDialog(Settings& settings, QWidget* parent = nullptr);

    // Shows the dialog over `parent` until it is closed; true when the settings were saved.
    static bool Edit(QWidget* parent, Settings& settings);

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

private:
    void Fill();
    // The filter check boxes follow their subscription, the keyword edits their filter check box.
    void ApplyDealsRule();
    void ApplyTopicsRule();

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
};

} // namespace tallyhawk
