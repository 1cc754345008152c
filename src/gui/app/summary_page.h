#pragma once

#include "gui/folders/folder_kind.h"
#include "gui/folders/summary_content.h"

#include <QFrame>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QBoxLayout;
class QCheckBox;
class QLabel;

namespace tallyhawk
{

// Today's Summary: a light panel that introduces each folder with a link and a line of text, shows the
// day's counts and hot deals, and offers the quick tasks and the start-up choice.
class SummaryPage : public QFrame
{
    Q_OBJECT

public:
    enum class QuickTask
    {
        ViewDeals,
        FindDeals,
        ComparePrices,
        NewProduct,
        CashBack,
    };

    // Hot deal links open their page through `openPage`.
    explicit SummaryPage(std::function<void(const std::string& url)> openPage, QWidget* parent = nullptr);

    void Fill(const SummaryContent& content);

    QLabel* folderLink(FolderKind folder) const;
    QLabel* quickTask(QuickTask task) const { return quickTasks_[static_cast<std::size_t>(task)]; }
    QLabel* dealsCount() const { return dealsCount_; }
    QLabel* shoppingCount() const { return shoppingCount_; }
    QLabel* topicsCount() const { return topicsCount_; }
    QLabel* hotDealLink(int index) const { return hotDealLinks_[static_cast<std::size_t>(index)]; }
    QLabel* hotDealText(int index) const { return hotDealTexts_[static_cast<std::size_t>(index)]; }
    // The deal's page behind a hot deal link; empty when the slot shows none.
    QString hotDealTarget(int index) const { return hotDealTargets_[static_cast<std::size_t>(index)]; }
    // "When starting, go directly to the Coupons & Deals folder", with its caption beside it.
    QCheckBox* startInDeals() const { return startInDeals_; }
    QLabel* startCaption() const { return startCaption_; }

signals:
    void folderChosen(tallyhawk::FolderKind folder);
    void quickTaskChosen(tallyhawk::SummaryPage::QuickTask task);

protected:
    // Narrow, the quick tasks and hot deals go under the folders instead of beside them.
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QLabel* AddLink(const QString& caption, const QString& accessibleName);
    void KeepLinksReadable();
    void ShowHotDeal(std::size_t index, const SummaryContent::HotDeal* deal, bool visited);

    std::function<void(const std::string&)> openPage_;
    std::vector<std::pair<FolderKind, QLabel*>> folderLinks_;
    std::array<QLabel*, 5> quickTasks_{};
    QLabel* dealsCount_;
    QLabel* shoppingCount_;
    QLabel* topicsCount_;
    std::array<QLabel*, 2> hotDealLinks_{};
    std::array<QLabel*, 2> hotDealTexts_{};
    std::array<QString, 2> hotDealTargets_;
    std::array<QString, 2> hotDealCaptions_;
    std::array<bool, 2> hotDealVisited_{};
    std::vector<std::pair<QLabel*, QString>> links_;
    QCheckBox* startInDeals_ = nullptr;
    QLabel* startCaption_;
    QBoxLayout* columns_;
};

} // namespace tallyhawk
