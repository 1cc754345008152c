#include "gui/app/summary_page.h"

#include "gui/controls/record_text.h"
#include "gui/controls/system_colors.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace tallyhawk
{
namespace
{

struct FolderEntry
{
    FolderKind folder;
    const char* description;
};

// In the order the page lists them.
constexpr std::array<FolderEntry, 6> kFolders{{
    {FolderKind::CouponsAndDeals,
     "View the latest deals and coupons, organized by date, store and category, or search for a "
     "specific deal or coupon."},
    {FolderKind::CashBackStores,
     "View the list of stores that offers cash back for your purchases, or start a cash back shopping "
     "session for any participating store."},
    {FolderKind::ShoppingList,
     "View, manage and print your shopping list, organized by date, store and category, or add new "
     "items to your shopping list."},
    {FolderKind::PurchaseHistory,
     "Track the purchases that you already made, organized by date, store and category, and take "
     "control of your shopping expenses."},
    {FolderKind::PriceComparisons,
     "Find and compare online prices for the items you want to purchase simultaneously at most popular "
     "stores."},
    {FolderKind::ForumTopics,
     "View the latest topics posted on our public forums, or share the deals and coupons that you have "
     "found with all users."},
}};

constexpr std::array<const char*, 5> kQuickTasks{
    "View the latest deals & coupons",
    "Find deals and coupon by keyword",
    "Compare online prices for an item",
    "Add a new item to my shopping list",
    "Get cash back for online purchases",
};

QString LinkMarkup(const QString& href, const QString& caption, const QString& colour = {})
{
    const QString style = colour.isEmpty() ? QString() : QStringLiteral(" style=\"color:%1\"").arg(colour);
    return QStringLiteral("<a href=\"%1\"%2>%3</a>")
        .arg(href.toHtmlEscaped(), style, caption.toHtmlEscaped());
}

QLabel* WrappedText(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::Text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

SummaryPage::SummaryPage(std::function<void(const std::string&)> openPage, QWidget* parent)
    : QFrame(parent)
    , openPage_(std::move(openPage))
{
    // A light panel in the palette's own colours, so a dark palette stays readable.
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
    setAutoFillBackground(true);
    setAccessibleName(QStringLiteral("Today's Summary"));

    QFont header = font();
    header.setBold(true);
    header.setPointSizeF(header.pointSizeF() * 1.25);

    auto* folders = new QVBoxLayout;
    folders->setSpacing(2);
    for (const FolderEntry& entry : kFolders) {
        QLabel* link = AddLink(FolderName(entry.folder), FolderName(entry.folder));
        connect(
            link, &QLabel::linkActivated, this, [this, folder = entry.folder] { emit folderChosen(folder); });
        folderLinks_.emplace_back(entry.folder, link);
        auto* line = new QHBoxLayout;
        line->setSpacing(0);
        line->addWidget(link);
        QLabel* count = nullptr;
        if (entry.folder == FolderKind::CouponsAndDeals || entry.folder == FolderKind::ShoppingList
            || entry.folder == FolderKind::ForumTopics) {
            count = new QLabel(this);
            count->setFont(link->font());
            count->setForegroundRole(QPalette::Text);
            count->setWordWrap(true);
            line->addWidget(count, 1);
        } else {
            line->addStretch(1);
        }
        folders->addLayout(line);
        QLabel* description = WrappedText(QString::fromLatin1(entry.description), this);
        // Indented under its link, as the descriptions stand in the original page.
        description->setContentsMargins(18, 0, 0, 0);
        folders->addWidget(description);
        folders->addSpacing(8);
        if (entry.folder == FolderKind::CouponsAndDeals) {
            dealsCount_ = count;
        } else if (entry.folder == FolderKind::ShoppingList) {
            shoppingCount_ = count;
        } else if (entry.folder == FolderKind::ForumTopics) {
            topicsCount_ = count;
        }
    }
    folders->addStretch(1);

    auto* tasksBox = new QGroupBox(QStringLiteral("Quick Tasks"), this);
    tasksBox->setFont(header);
    tasksBox->setForegroundRole(QPalette::Text);
    auto* tasks = new QVBoxLayout(tasksBox);
    for (std::size_t index = 0; index < kQuickTasks.size(); ++index) {
        const QString caption = QString::fromLatin1(kQuickTasks[index]);
        QLabel* task = AddLink(caption, caption);
        connect(task, &QLabel::linkActivated, this, [this, index] {
            emit quickTaskChosen(static_cast<QuickTask>(index));
        });
        tasks->addWidget(task);
        quickTasks_[index] = task;
    }

    auto* hotCaption = new QLabel(QStringLiteral("Today's Hot Deals"), this);
    hotCaption->setFont(header);
    hotCaption->setForegroundRole(QPalette::Text);
    auto* side = new QVBoxLayout;
    side->addWidget(tasksBox);
    side->addSpacing(12);
    side->addWidget(hotCaption);
    for (std::size_t index = 0; index < hotDealLinks_.size(); ++index) {
        auto* link = new QLabel(this);
        link->setWordWrap(true);
        link->setTextFormat(Qt::RichText);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        QFont bold = font();
        bold.setBold(true);
        link->setFont(bold);
        link->setAccessibleName(QStringLiteral("Hot deal %1").arg(index + 1));
        connect(link, &QLabel::linkActivated, this, [this, index] {
            const QString target = hotDealTargets_[index];
            if (target.isEmpty()) {
                return;
            }
            openPage_(target.toStdString());
            // Drawn as visited from now on, until the next fill.
            SummaryContent::HotDeal deal{hotDealCaptions_[index], target, hotDealTexts_[index]->text()};
            ShowHotDeal(index, &deal, true);
        });
        auto* text = WrappedText({}, this);
        text->setAccessibleName(QStringLiteral("Hot deal %1 description").arg(index + 1));
        side->addWidget(link);
        side->addWidget(text);
        side->addSpacing(6);
        hotDealLinks_[index] = link;
        hotDealTexts_[index] = text;
    }
    side->addStretch(1);

    columns_ = new QBoxLayout(QBoxLayout::LeftToRight);
    columns_->setSpacing(24);
    columns_->addLayout(folders, 3);
    columns_->addLayout(side, 2);

    // The caption stands in a label of its own beside the box so that it wraps in a narrow window; a
    // click on it toggles the box as a check box caption would.
    startInDeals_ = new QCheckBox(this);
    startInDeals_->setAccessibleName(
        QStringLiteral("When starting, go directly to the Coupons & Deals folder"));
    startCaption_
        = new QLabel(QStringLiteral("When starting, go directly to the Coupons & Deals folder"), this);
    startCaption_->setWordWrap(true);
    startCaption_->setForegroundRole(QPalette::Text);
    QFont bold = font();
    bold.setBold(true);
    startCaption_->setFont(bold);
    startCaption_->installEventFilter(this);
    auto* start = new QHBoxLayout;
    start->addWidget(startInDeals_, 0, Qt::AlignTop);
    start->addWidget(startCaption_, 1);

    // The page scrolls in a small window rather than making the window wider than the screen.
    auto* content = new QWidget;
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(18, 14, 18, 12);
    page->addLayout(columns_, 1);
    page->addLayout(start);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setBackgroundRole(QPalette::Base);
    scroll->setWidget(content);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(scroll);

    // Tab order as the page lists its controls: folder links, check box, quick tasks, hot deals.
    QWidget* previous = nullptr;
    const auto chain = [&previous](QWidget* next) {
        if (previous != nullptr) {
            setTabOrder(previous, next);
        }
        previous = next;
    };
    for (const auto& entry : folderLinks_) {
        chain(entry.second);
    }
    chain(startInDeals_);
    for (QLabel* task : quickTasks_) {
        chain(task);
    }
    for (QLabel* link : hotDealLinks_) {
        chain(link);
    }
    Fill({});
    KeepLinksReadable();
    // The box stands on the page's base colour, where the style's outline may not show.
    startInDeals_->setPalette(SystemColors::Outlined(palette()));
}

bool SummaryPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == startCaption_ && event->type() == QEvent::MouseButtonRelease
        && startInDeals_->isEnabled()) {
        startInDeals_->toggle();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void SummaryPage::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        KeepLinksReadable();
        if (startInDeals_ != nullptr) {
            startInDeals_->setPalette(SystemColors::Outlined(palette()));
        }
    }
}

void SummaryPage::KeepLinksReadable()
{
    // Some dark palettes keep the light theme's dark blue links; on a dark panel those need lifting.
    QPalette colours = palette();
    // By perceived brightness: pure blue has a middle lightness but reads as almost black.
    const int base = qGray(colours.color(QPalette::Base).rgb());
    bool changed = false;
    for (QPalette::ColorRole role : {QPalette::Link, QPalette::LinkVisited}) {
        const QColor link = colours.color(role);
        if (base < 128 && qGray(link.rgb()) - base < 100) {
            colours.setColor(role, QColor::fromHsl(link.hslHue(), link.hslSaturation(), 200));
            changed = true;
        }
    }
    if (changed) {
        setPalette(colours);
    }
    // Rich text takes its link colour from the application's palette, not the label's; each link
    // names its colour itself.
    const QString colour = palette().color(QPalette::Link).name();
    for (const auto& [label, caption] : links_) {
        label->setText(LinkMarkup(QStringLiteral("go"), caption, colour));
    }
    for (std::size_t index = 0; index < hotDealLinks_.size(); ++index) {
        if (!hotDealTargets_[index].isEmpty()) {
            SummaryContent::HotDeal deal{
                hotDealCaptions_[index], hotDealTargets_[index], hotDealTexts_[index]->text()};
            ShowHotDeal(index, &deal, hotDealVisited_[index]);
        }
    }
}

void SummaryPage::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    // Room for two columns of about 45 characters each.
    const bool wide = width() >= fontMetrics().averageCharWidth() * 90;
    columns_->setDirection(wide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}

QLabel* SummaryPage::AddLink(const QString& caption, const QString& accessibleName)
{
    auto* link = new QLabel(LinkMarkup(QStringLiteral("go"), caption), this);
    links_.emplace_back(link, caption);
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setFocusPolicy(Qt::StrongFocus);
    link->setAccessibleName(accessibleName);
    QFont bold = font();
    bold.setBold(true);
    // The size too, so a link inside the quick tasks box does not take the box's caption size.
    bold.setPointSizeF(font().pointSizeF());
    link->setFont(bold);
    return link;
}

QLabel* SummaryPage::folderLink(FolderKind folder) const
{
    for (const auto& entry : folderLinks_) {
        if (entry.first == folder) {
            return entry.second;
        }
    }
    return nullptr;
}

void SummaryPage::Fill(const SummaryContent& content)
{
    dealsCount_->setText(QStringLiteral(" - %1 new deals and coupons").arg(content.deals));
    shoppingCount_->setText(QStringLiteral(" - %1 items in your shopping list").arg(content.shopping));
    topicsCount_->setText(QStringLiteral(" - %1 new forum topics").arg(content.topics));
    for (std::size_t index = 0; index < hotDealLinks_.size(); ++index) {
        ShowHotDeal(index, index < content.hotDeals.size() ? &content.hotDeals[index] : nullptr, false);
    }
}

void SummaryPage::ShowHotDeal(std::size_t index, const SummaryContent::HotDeal* deal, bool visited)
{
    QLabel* link = hotDealLinks_[index];
    if (deal == nullptr) {
        hotDealTargets_[index].clear();
        hotDealCaptions_[index].clear();
        link->clear();
        link->setToolTip({});
        link->setFocusPolicy(Qt::NoFocus);
        hotDealTexts_[index]->clear();
        return;
    }
    hotDealTargets_[index] = deal->target;
    hotDealCaptions_[index] = deal->text;
    hotDealVisited_[index] = visited;
    const QString colour = palette().color(visited ? QPalette::LinkVisited : QPalette::Link).name();
    link->setText(LinkMarkup(deal->target, deal->text, colour));
    link->setToolTip(deal->target);
    link->setFocusPolicy(Qt::StrongFocus);
    hotDealTexts_[index]->setText(deal->description);
}

} // namespace tallyhawk
