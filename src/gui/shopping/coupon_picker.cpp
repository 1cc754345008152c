#include "gui/shopping/coupon_picker.h"

#include "core/common/clock.h"
#include "core/common/site_addresses.h"
#include "core/common/time_span.h"
#include "core/compare/search_index.h"
#include "core/settings/site_url.h"
#include "gui/controls/message_boxes.h"
#include "gui/controls/record_text.h"
#include "gui/shopping/gradient_caption.h"
#include "gui/shopping/shopping_icons.h"
#include "gui/views/row_card_text.h"
#include "gui/views/search_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tallyhawk
{
namespace
{

constexpr int kValueRole = Qt::UserRole;

QSettings LayoutSettings()
{
    return QSettings(QSettings::IniFormat,
                     QSettings::UserScope,
                     QStringLiteral("Quillmarch"),
                     QStringLiteral("tallyhawk-layout"));
}

void Warn(QWidget* parent, const char* text)
{
    MessageBoxes::Tell(parent, QStringLiteral("Tallyhawk"), QString::fromLatin1(text), QMessageBox::Warning);
}

QPushButton* ToolButton(const QString& caption, const QIcon& icon, const QString& tip)
{
    auto* button = new QPushButton(icon, caption);
    button->setToolTip(tip);
    button->setAccessibleName(caption);
    button->setFlat(true);
    button->setAutoDefault(false);
    return button;
}

bool IsWebAddress(const std::string& link)
{
    const QString address = QString::fromStdString(link);
    return address.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive)
        || address.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

} // namespace

CouponPicker::CouponPicker(
    Mode mode, const QString& searchText, std::int32_t storeId, std::int32_t comparisonId, QWidget* parent)
    : QDialog(parent)
    , mode_(mode)
    , searchText_(searchText)
    , storeId_(storeId)
    , comparisonId_(comparisonId)
    , siteBaseUrl_(DefaultSiteUrl())
    , leftHeader_(new GradientCaption({}, QPalette::Highlight, QPalette::Dark, QPalette::HighlightedText))
    , rightHeader_(new GradientCaption({}, QPalette::Highlight, QPalette::Dark, QPalette::HighlightedText))
    , tree_(new QTreeWidget)
    , list_(new QTreeWidget)
    , splitter_(new QSplitter(Qt::Horizontal))
{
    const bool coupons = mode_ == Mode::Coupons;
    setWindowTitle(coupons ? QStringLiteral("Coupons and Deals")
                           : QStringLiteral("Price Comparison Results"));
    setSizeGripEnabled(true);
    searchPrompt_ = [this](const QString& initialText) -> std::optional<QString> {
        SearchDialog dialog(initialText, this);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.resultText();
    };

    select_ = ToolButton(coupons ? QStringLiteral("Select Coupon") : QStringLiteral("Select Product"),
                         ShoppingIcons::Select(),
                         QStringLiteral("Apply the selected item to the current product"));
    select_->setDefault(true);
    select_->setAutoDefault(true);
    open_ = ToolButton(QStringLiteral("Open In Browser"),
                       ShoppingIcons::OpenInBrowser(),
                       QStringLiteral("Open the selected item in the web browser"));
    details_ = ToolButton(QStringLiteral("Coupon Details"),
                          ShoppingIcons::Details(),
                          QStringLiteral("View the selected item on the Quillmarch web site"));
    search_ = ToolButton(QStringLiteral("Search Coupons"),
                         ShoppingIcons::Search(),
                         QStringLiteral("Find the coupons and deals matching your search criteria"));
    details_->setVisible(coupons);
    search_->setVisible(coupons);

    auto* strip = new QWidget;
    strip->setAutoFillBackground(true);
    strip->setBackgroundRole(QPalette::Button);
    auto* buttons = new QHBoxLayout(strip);
    buttons->setContentsMargins(2, 2, 2, 2);
    for (QPushButton* button : {select_, open_, details_, search_}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);

    tree_->setHeaderHidden(true);
    // Results mode shows one item: nothing to open or close.
    tree_->setRootIsDecorated(coupons);
    tree_->setAccessibleName(QStringLiteral("Stores"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setAccessibleName(coupons ? QStringLiteral("Coupons and deals")
                                     : QStringLiteral("Search results"));
    // The columns tell the rows apart: many coupons of one product share a title.
    list_->setHeaderLabels(coupons ? QStringList{QStringLiteral("Coupons & Deals"),
                                                 QStringLiteral("Code or Price"),
                                                 QStringLiteral("Store"),
                                                 QStringLiteral("Expires")}
                                   : QStringList{QStringLiteral("Product"),
                                                 QStringLiteral("Price"),
                                                 QStringLiteral("Shop"),
                                                 QStringLiteral("Link")});
    list_->header()->setSectionsMovable(true);
    list_->header()->setStretchLastSection(true);
    const int charWidth = list_->fontMetrics().averageCharWidth();
    list_->header()->resizeSection(0, charWidth * 32);
    list_->header()->resizeSection(1, charWidth * (coupons ? 16 : 10));
    list_->header()->resizeSection(2, charWidth * 22);
    leftHeader_->setAccessibleName(QStringLiteral("Stores shown"));
    rightHeader_->setAccessibleName(QStringLiteral("Items shown"));

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(1);
    leftLayout->addWidget(leftHeader_);
    leftLayout->addWidget(tree_, 1);
    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(1);
    rightLayout->addWidget(rightHeader_);
    rightLayout->addWidget(list_, 1);
    splitter_->addWidget(left);
    splitter_->addWidget(right);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(strip);
    layout->addWidget(splitter_, 1);

    setTabOrder(select_, open_);
    setTabOrder(open_, details_);
    setTabOrder(details_, search_);
    setTabOrder(search_, tree_);
    setTabOrder(tree_, list_);

    connect(select_, &QPushButton::clicked, this, &CouponPicker::Select);
    connect(open_, &QPushButton::clicked, this, &CouponPicker::OpenSelected);
    connect(details_, &QPushButton::clicked, this, &CouponPicker::ShowSelectedDetails);
    connect(search_, &QPushButton::clicked, this, &CouponPicker::SearchCoupons);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CouponPicker::RowChanged);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenSelected(); });
    connect(
        tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { StoreChosen(item); });

    if (coupons) {
        leftHeader_->setText(QStringLiteral("All Stores"));
        rightHeader_->setText(QStringLiteral("Coupons and deals for %1").arg(searchText_));
    } else {
        leftHeader_->setText(searchText_);
        rightHeader_->setText(QStringLiteral("Price Comparison Results for %1").arg(searchText_));
    }

    // Starting size: room for the list's columns; the layout file keeps the user's.
    const int unit = fontMetrics().averageCharWidth();
    resize(unit * 150, unit * 64);
    splitter_->setSizes({unit * 36, unit * 114});
    RestoreLayout();

    store_.Open("deal.lst");
    const TimeSpan window = TimeSpan::EndingToday(kWindowSeconds, Clock::Now());
    filter_.to = window.to;
    filter_.from = window.to - kWindowSeconds;
    filter_.storeId = storeId_;
    Fill(true);
    RowChanged();
    starting_ = false;
    list_->setFocus();
}

CouponPicker::~CouponPicker()
{
    store_.Clear();
}

int CouponPicker::Run()
{
    return exec() == QDialog::Accepted ? kSelected : kClosed;
}

void CouponPicker::done(int result)
{
    SaveLayout();
    QDialog::done(result);
}

void CouponPicker::Fill(bool rebuildTree)
{
    list_->clear();
    if (rebuildTree) {
        // Rebuilding selects tree items; that is not the user choosing a store.
        const QSignalBlocker quiet(tree_);
        tree_->clear();
    }
    if (mode_ == Mode::Coupons) {
        FillItems(rebuildTree);
    } else {
        FillResults(rebuildTree);
    }
    RowChanged();
}

void CouponPicker::FillItems(bool rebuildTree)
{
    if (searchText_.isEmpty()) {
        filter_.keyword.reset();
    } else {
        filter_.keyword = searchText_.toStdString();
    }
    // A missing or unreadable file lists nothing.
    store_.Load(filter_);
    items_ = store_.Items();
    for (std::size_t index = 0; index < items_.size(); ++index) {
        const ItemRecord& item = items_[index];
        if (storeId_ != 0 && storeId_ != item.storeId) {
            continue;
        }
        auto* row = new QTreeWidgetItem(list_,
                                        {RecordText(item.title()),
                                         RecordText(item.extra()),
                                         RecordText(item.storeName()),
                                         item.date < 1 ? QStringLiteral("unknown") : CardDate(item.date)});
        row->setIcon(0, ShoppingIcons::Coupon());
        row->setData(0, kValueRole, static_cast<qulonglong>(index));
    }
    if (!rebuildTree) {
        return;
    }
    const QSignalBlocker quiet(tree_);
    leftHeader_->setText(QStringLiteral("All Stores"));
    const IdNameList stores = store_.Stores();
    const bool anyStore
        = std::any_of(stores.begin(), stores.end(), [](const auto& entry) { return entry.first > 0; });
    if (!anyStore) {
        auto* none = new QTreeWidgetItem(tree_, {QStringLiteral("No Stores Found")});
        none->setIcon(0, ShoppingIcons::Coupon());
        none->setData(0, kValueRole, 0);
        return;
    }
    auto* root = new QTreeWidgetItem(tree_, {QStringLiteral("All Stores")});
    root->setIcon(0, ShoppingIcons::Store());
    root->setData(0, kValueRole, 0);
    QTreeWidgetItem* shown = root;
    for (const auto& [id, entry] : stores) {
        if (id <= 0) {
            continue; // items without a store are listed under "All Stores" only
        }
        auto* item = new QTreeWidgetItem(root, {RecordText(entry.name)});
        item->setIcon(0, ShoppingIcons::Store());
        item->setData(0, kValueRole, id);
        if (id == storeId_ && storeId_ != 0) {
            leftHeader_->setText(item->text(0));
            shown = item;
        }
    }
    root->setExpanded(true);
    tree_->setCurrentItem(shown);
    tree_->scrollToItem(shown);
}

void CouponPicker::FillResults(bool rebuildTree)
{
    results_.Clear();
    offers_.clear();
    if (comparisonId_ > 0 && results_.Load(SearchIndex().ResultsPath(comparisonId_)) == 0) {
        offers_.assign(results_.begin(), results_.end());
        // Each offer goes on top: the list is kept highest price first, so the cheapest ends on top.
        for (std::size_t index = 0; index < offers_.size(); ++index) {
            const PriceResult& offer = offers_[index];
            auto* row = new QTreeWidgetItem(
                {RecordText(offer.name),
                 offer.price > 0 ? QStringLiteral("$") + QString::number(offer.price, 'f', 2) : QString(),
                 RecordText(offer.siteName),
                 RecordText(offer.link)});
            row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
            row->setIcon(0, ShoppingIcons::PriceResult());
            row->setData(0, kValueRole, static_cast<qulonglong>(index));
            list_->insertTopLevelItem(0, row);
        }
    }
    if (rebuildTree) {
        const QSignalBlocker quiet(tree_);
        leftHeader_->setText(searchText_);
        auto* item = new QTreeWidgetItem(tree_, {searchText_});
        item->setIcon(0, ShoppingIcons::Store());
    }
}

void CouponPicker::StoreChosen(QTreeWidgetItem* item)
{
    if (mode_ != Mode::Coupons || item == nullptr || starting_) {
        return;
    }
    storeId_ = item->data(0, kValueRole).toInt();
    filter_.storeId = storeId_;
    leftHeader_->setText(item->text(0));
    Fill(false);
}

void CouponPicker::RowChanged()
{
    const bool selected = !list_->selectedItems().isEmpty();
    select_->setEnabled(selected);
    open_->setEnabled(selected);
    details_->setEnabled(selected && mode_ == Mode::Coupons);
}

std::optional<std::size_t> CouponPicker::SelectedRecord() const
{
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    const qulonglong index = selected.front()->data(0, kValueRole).toULongLong(&ok);
    const std::size_t count = mode_ == Mode::Coupons ? items_.size() : offers_.size();
    if (!ok || index >= count) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(index);
}

void CouponPicker::Select()
{
    if (list_->selectedItems().isEmpty()) {
        Warn(this,
             "You must first select the coupon or deal that you want to apply to this purchase, or click the "
             "Cancel button if you did not find any coupon or deal that can be applied to this purchase.");
        return;
    }
    const std::optional<std::size_t> index = SelectedRecord();
    if (mode_ == Mode::Coupons) {
        if (!index) {
            Warn(this,
                 "You must first select the coupon or deal that you want to apply to this purchase, or close "
                 "this window if you do not want to apply any of the coupons and deals.");
            return;
        }
        chosenItem_ = items_[*index];
    } else {
        if (!index) {
            Warn(this,
                 "You must first select the search results that you want to apply to this purchase, or close "
                 "the window if you do not want to apply any of the search results.");
            return;
        }
        chosenResult_ = offers_[*index];
    }
    accept();
}

void CouponPicker::OpenSelected()
{
    const std::optional<std::size_t> index = SelectedRecord();
    if (!index) {
        return;
    }
    if (mode_ == Mode::Coupons) {
        const ItemRecord& item = items_[*index];
        Browser().Open(RedirectPageUrl(siteBaseUrl_, item.kind, item.id), true);
        return;
    }
    // A link cut out of a store's page goes to the browser only as a web address.
    const std::string& link = offers_[*index].link;
    if (!IsWebAddress(link) || !Browser().Open(link, true)) {
        QApplication::beep();
    }
}

void CouponPicker::ShowSelectedDetails()
{
    const std::optional<std::size_t> index = SelectedRecord();
    if (mode_ != Mode::Coupons || !index) {
        return;
    }
    const ItemRecord& item = items_[*index];
    Browser().Open(ItemPageUrl(siteBaseUrl_, item.kind, item.id), true);
}

void CouponPicker::SearchCoupons()
{
    if (mode_ != Mode::Coupons) {
        return;
    }
    if (std::optional<QString> text = searchPrompt_(searchText_)) {
        ApplySearchText(*text);
    }
}

void CouponPicker::ApplySearchText(const QString& text)
{
    searchText_ = text;
    rightHeader_->setText(text.isEmpty() ? QStringLiteral("All coupons and deals")
                                         : QStringLiteral("Coupons and deals for %1").arg(text));
    Fill(true);
}

BrowserLauncher& CouponPicker::Browser()
{
    if (browser_ == nullptr) {
        ownBrowser_ = std::make_unique<BrowserLauncher>();
        browser_ = ownBrowser_.get();
    }
    return *browser_;
}

void CouponPicker::RestoreLayout()
{
    QSettings settings = LayoutSettings();
    settings.beginGroup(LayoutSection());
    const int width = settings.value(QStringLiteral("Width"), 0).toInt();
    const int height = settings.value(QStringLiteral("Height"), 0).toInt();
    const int treeWidth = settings.value(QStringLiteral("TreeWidth"), 0).toInt();
    settings.endGroup();
    // Sizes from a damaged or foreign file are ignored rather than making the window unusable.
    if (width >= 200 && height >= 120 && width <= 10000 && height <= 10000) {
        resize(width, height);
    }
    if (treeWidth >= 40 && treeWidth < width) {
        splitter_->setSizes({treeWidth, width - treeWidth});
    }
}

void CouponPicker::SaveLayout() const
{
    QSettings settings = LayoutSettings();
    settings.beginGroup(LayoutSection());
    settings.setValue(QStringLiteral("Width"), width());
    settings.setValue(QStringLiteral("Height"), height());
    settings.setValue(QStringLiteral("TreeWidth"), splitter_->sizes().value(0));
    settings.endGroup();
}

} // namespace tallyhawk
