#include "gui/shopping/product_editor.h"

#include "core/common/clock.h"
#include "core/common/site_addresses.h"
#include "core/common/time_span.h"
#include "core/settings/site_url.h"
#include "core/shopping/deal_price.h"
#include "core/shopping/product_input.h"
#include "core/shopping/purchase_type.h"
#include "core/shopping/shopping_list_commands.h"
#include "gui/controls/message_boxes.h"
#include "gui/controls/record_text.h"
#include "gui/shopping/coupon_picker.h"
#include "gui/shopping/gradient_caption.h"
#include "gui/shopping/purchase_choices.h"
#include "gui/shopping/shopping_icons.h"

#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tallyhawk
{
namespace
{

constexpr int kSlotRole = Qt::UserRole;
// The list entries' names; the product's name is held to its field's bytes (ProductInput).
constexpr qsizetype kNameLimit = 50;
constexpr qsizetype kDescriptionLimit = 250;

// Characters as the user counts them, not UTF-16 units.
qsizetype CharacterCount(const QString& text)
{
    return static_cast<qsizetype>(text.toUcs4().size());
}

QString Fixed2(double value)
{
    return QString::asprintf("%.2f", value);
}

QDate LocalDateOf(std::int32_t seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds).date();
}

std::int32_t OneInTheMorning(const QDate& date)
{
    return LocalTime(date.year(), date.month(), date.day(), 1, 0, 0)
        .value_or(LocalTimeOnDayOf(Clock::Now(), 1, 0, 0));
}

// A section of the dialog: a framed panel under its gradient caption.
QFrame* Section(const QString& caption, QLayout* content)
{
    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(1, 1, 1, 6);
    layout->addWidget(new GradientCaption(caption, QPalette::Light, QPalette::Mid, QPalette::WindowText));
    auto* inner = new QWidget;
    inner->setLayout(content);
    layout->addWidget(inner, 1);
    return frame;
}

QLabel* Caption(const char* text, QWidget* buddy)
{
    auto* label = new QLabel(QString::fromLatin1(text));
    // No mnemonics: the captions are shown exactly as written.
    label->setTextFormat(Qt::PlainText);
    if (buddy != nullptr) {
        buddy->setAccessibleName(label->text().chopped(1));
    }
    return label;
}

QComboBox* EntryBox()
{
    auto* box = new QComboBox;
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    box->completer()->setCompletionMode(QCompleter::InlineCompletion);
    return box;
}

// An empty entry (none) and then the list's names, sorted, each with its id.
void FillEntryBox(QComboBox* box, const IdNameList& list)
{
    std::vector<std::pair<QString, std::int32_t>> entries;
    for (const auto& [id, entry] : list) {
        entries.emplace_back(RecordText(entry.name), id);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto& left, const auto& right) {
        return left.first.compare(right.first, Qt::CaseInsensitive) < 0;
    });
    box->addItem(QString(), 0);
    for (const auto& [name, id] : entries) {
        box->addItem(name, id);
    }
}

void SelectEntry(QComboBox* box, std::int32_t id)
{
    const int index = id != 0 ? box->findData(id) : -1;
    box->setCurrentIndex(index);
    if (index < 0) {
        box->setEditText(QString());
    }
}

// The box's text as a list entry: the entry of that name (without regard to case), else a typed name.
IdNameEntry EntryOf(const QComboBox* box, const QString& text)
{
    IdNameEntry entry;
    if (text.isEmpty()) {
        return entry;
    }
    for (int index = 0; index < box->count(); ++index) {
        if (box->itemText(index).compare(text, Qt::CaseInsensitive) == 0) {
            entry.id = box->itemData(index).toInt();
            entry.name = box->itemText(index).toStdString();
            if (entry.id != 0) {
                return entry;
            }
        }
    }
    entry.id = 0;
    entry.name = text.toStdString();
    return entry;
}

QPushButton* Button(const char* caption)
{
    auto* button = new QPushButton(QString::fromLatin1(caption));
    button->setAccessibleName(button->text());
    // Enter saves wherever the focus is.
    button->setAutoDefault(false);
    return button;
}

} // namespace

ProductEditor::ProductEditor(ShoppingDatabase& database,
                             std::int32_t kind,
                             std::optional<ShoppingRecord> record,
                             Services services,
                             QWidget* parent)
    : QDialog(parent)
    , database_(database)
    , kind_(kind)
    , record_(std::move(record))
    , services_(std::move(services))
    , name_(new QLineEdit)
    , purchaseType_(new QComboBox)
    , date_(new QDateEdit)
    , day_(new QComboBox)
    , dayCaption_(new QLabel(QStringLiteral("Purchase Date:")))
    , store_(EntryBox())
    , category_(EntryBox())
    , unit_(EntryBox())
    , price_(new QLineEdit)
    , tax_(new QLineEdit)
    , quantity_(new QLineEdit)
    , description_(new QPlainTextEdit)
    , coupons_(new QTreeWidget)
    , findCoupons_(Button("Find Coupons"))
    , open_(Button("Open"))
    , view_(Button("View"))
    , remove_(Button("Remove"))
    , compare_(Button("Compare Prices"))
    , ok_(new QPushButton(QStringLiteral("OK")))
    , cancel_(Button("Cancel"))
{
    setWindowTitle(QStringLiteral("Product"));
    setSizeGripEnabled(true);
    pickerRun_ = [](CouponPicker& picker) {
        return picker.Run();
    };
    if (services_.siteBaseUrl.empty()) {
        services_.siteBaseUrl = DefaultSiteUrl();
    }

    auto* right = new QVBoxLayout;
    right->addWidget(BuildCoupons(), 1);
    right->addWidget(BuildComparison());
    auto* sections = new QHBoxLayout;
    sections->addWidget(BuildDetails(), 1);
    sections->addLayout(right, 1);

    ok_->setDefault(true);
    ok_->setAccessibleName(ok_->text());
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sections, 1);
    layout->addLayout(buttons);

    // The order in which the controls are listed: details, coupons, comparison, OK, Cancel.
    const std::vector<QWidget*> order{name_,
                                      purchaseType_,
                                      date_,
                                      day_,
                                      store_,
                                      category_,
                                      price_,
                                      tax_,
                                      unit_,
                                      quantity_,
                                      description_,
                                      findCoupons_,
                                      open_,
                                      view_,
                                      remove_,
                                      coupons_,
                                      compare_,
                                      ok_,
                                      cancel_};
    for (std::size_t index = 1; index < order.size(); ++index) {
        setTabOrder(order[index - 1], order[index]);
    }

    connect(ok_, &QPushButton::clicked, this, &ProductEditor::Save);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(findCoupons_, &QPushButton::clicked, this, &ProductEditor::FindCoupons);
    connect(compare_, &QPushButton::clicked, this, &ProductEditor::ComparePricesOnline);
    connect(open_, &QPushButton::clicked, this, &ProductEditor::OpenSelectedCoupon);
    connect(view_, &QPushButton::clicked, this, &ProductEditor::ViewSelectedCoupon);
    connect(remove_, &QPushButton::clicked, this, &ProductEditor::RemoveSelectedCoupon);
    connect(coupons_, &QTreeWidget::itemSelectionChanged, this, &ProductEditor::CouponRowChanged);
    connect(coupons_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenSelectedCoupon(); });
    connect(purchaseType_, &QComboBox::currentIndexChanged, this, &ProductEditor::PurchaseTypeChanged);

    FillLists();
    date_->setDate(LocalDateOf(Clock::Now()));
    PurchaseTypeChanged();
    if (record_) {
        ShowRecord(*record_);
    } else {
        // A new product starts as a one-time purchase today rather than on no choice at all.
        purchaseType_->setCurrentIndex(0);
        price_->setText(QStringLiteral("0.00"));
        tax_->setText(QStringLiteral("0.00"));
        quantity_->setText(QStringLiteral("1.00"));
        unit_->setEditText(QStringLiteral("unit"));
    }
    if (kind_ == ShoppingDatabase::kPurchases) {
        purchaseType_->setEnabled(false);
        dayCaption_->setText(QStringLiteral("Purchase Date:"));
        date_->show();
        day_->hide();
    }
    compare_->setEnabled(static_cast<bool>(services_.comparePrices));
    CouponRowChanged();
    name_->setFocus();
}

ProductEditor::~ProductEditor() = default;

std::optional<ShoppingRecord> ProductEditor::Edit(
    QWidget* parent, ShoppingDatabase& database, std::int32_t kind, std::int32_t id, const Services& services)
{
    std::optional<ShoppingRecord> record;
    if (id != 0) {
        record = database.Find(kind, id);
        if (!record) {
            MessageBoxes::Tell(parent,
                               QStringLiteral("Tallyhawk"),
                               QStringLiteral("The selected product could not be read from the database."),
                               QMessageBox::Warning);
            return std::nullopt;
        }
    }
    ProductEditor editor(database, kind, std::move(record), services, parent);
    if (editor.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return editor.savedRecord();
}

std::optional<ShoppingRecord> ProductEditor::EditFromDeal(QWidget* parent,
                                                          ShoppingDatabase& database,
                                                          const ItemRecord& deal,
                                                          const Services& services)
{
    ProductEditor editor(database, ShoppingDatabase::kProducts, std::nullopt, services, parent);
    editor.FillFromDeal(deal);
    if (editor.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return editor.savedRecord();
}

void ProductEditor::FillFromDeal(const ItemRecord& deal)
{
    name_->setText(RecordText(deal.title()));
    SelectEntry(store_, deal.storeId);
    if (store_->currentIndex() < 0) {
        // A store the list does not hold yet goes in as a typed name.
        store_->setEditText(RecordText(deal.storeName()));
    }
    if (const std::optional<double> price = DealPrice(deal.extra())) {
        price_->setText(Fixed2(*price));
    }
    coupons_->clear();
    slots_ = {};
    slots_[0] = deal;
    AddCouponRow(0);
}

QWidget* ProductEditor::BuildDetails()
{
    name_->setAccessibleName(QStringLiteral("Product Name"));
    date_->setCalendarPopup(true);
    date_->setDateRange(QDate(1970, 1, 2), QDate(2038, 1, 18));
    date_->setAccessibleName(QStringLiteral("Purchase Date"));
    day_->setAccessibleName(QStringLiteral("Day"));
    for (int choice = 1; choice <= PurchaseChoice::kCount; ++choice) {
        purchaseType_->addItem(PurchaseChoice::Text(choice), choice);
    }
    purchaseType_->setCurrentIndex(-1);
    description_->setTabChangesFocus(true);
    description_->setAccessibleName(QStringLiteral("Description"));
    description_->setMinimumHeight(description_->fontMetrics().lineSpacing() * 3);

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    grid->addWidget(Caption("Product Name:", name_), 0, 0, 1, 2);
    grid->addWidget(name_, 1, 0, 1, 2);
    grid->addWidget(Caption("Purchase Type:", purchaseType_), 2, 0);
    grid->addWidget(dayCaption_, 2, 1);
    grid->addWidget(purchaseType_, 3, 0);
    grid->addWidget(date_, 3, 1);
    grid->addWidget(day_, 3, 1);
    grid->addWidget(Caption("Store:", store_), 4, 0);
    grid->addWidget(Caption("Category:", category_), 4, 1);
    grid->addWidget(store_, 5, 0);
    grid->addWidget(category_, 5, 1);
    grid->addWidget(Caption("Price Per Unit:", price_), 6, 0);
    grid->addWidget(Caption("Tax (%):", tax_), 6, 1);
    grid->addWidget(price_, 7, 0);
    grid->addWidget(tax_, 7, 1);
    grid->addWidget(Caption("Unit Type:", unit_), 8, 0);
    grid->addWidget(Caption("Quantity:", quantity_), 8, 1);
    grid->addWidget(unit_, 9, 0);
    grid->addWidget(quantity_, 9, 1);
    grid->addWidget(Caption("Description:", description_), 10, 0, 1, 2);
    grid->addWidget(description_, 11, 0, 1, 2);
    grid->setRowStretch(11, 1);
    for (int row = 2; row <= 10; row += 2) {
        grid->setRowMinimumHeight(row, fontMetrics().height());
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return Section(QStringLiteral("Product Details"), grid);
}

QWidget* ProductEditor::BuildCoupons()
{
    coupons_->setRootIsDecorated(false);
    coupons_->setUniformRowHeights(true);
    coupons_->setSelectionMode(QAbstractItemView::SingleSelection);
    coupons_->setSelectionBehavior(QAbstractItemView::SelectRows);
    coupons_->setAllColumnsShowFocus(true);
    coupons_->setAccessibleName(QStringLiteral("Coupons & Deals"));
    coupons_->setHeaderLabels({QStringLiteral("Coupons & Deals"), QStringLiteral("Source")});
    coupons_->header()->setSectionsMovable(true);
    coupons_->header()->resizeSection(0, fontMetrics().averageCharWidth() * 30);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(findCoupons_);
    buttons->addStretch(1);
    buttons->addWidget(open_);
    buttons->addWidget(view_);
    buttons->addWidget(remove_);
    auto* prompt = new QLabel(QStringLiteral("Find Coupons & Deals to apply to this purchase:"));
    prompt->setTextFormat(Qt::PlainText);
    auto* note
        = new QLabel(QStringLiteral("Note: If you select a store for this item, Tallyhawk will search for "
                                    "coupons and deals for that store only."));
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);

    auto* layout = new QVBoxLayout;
    layout->setSpacing(3);
    layout->addWidget(prompt);
    layout->addLayout(buttons);
    layout->addWidget(coupons_, 1);
    layout->addWidget(note);
    return Section(QStringLiteral("Coupons & Deals"), layout);
}

QWidget* ProductEditor::BuildComparison()
{
    auto* prompt = new QLabel(QStringLiteral("Compare prices for this item at tens of online stores:"));
    prompt->setTextFormat(Qt::PlainText);
    prompt->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(compare_);
    row->addStretch(1);
    auto* layout = new QVBoxLayout;
    layout->addWidget(prompt);
    layout->addLayout(row);
    return Section(QStringLiteral("Price Comparison"), layout);
}

void ProductEditor::FillLists()
{
    FillEntryBox(store_, database_.Stores());
    FillEntryBox(category_, database_.Categories());
    const IdNameList units = database_.Units();
    if (units.Count() == 0) {
        // A placeholder without an id: saved with it, "unit" becomes the list's first entry.
        unit_->addItem(QString(), 0);
        unit_->addItem(QStringLiteral("unit"), 0);
    } else {
        FillEntryBox(unit_, units);
    }
    store_->setAccessibleName(QStringLiteral("Store"));
    category_->setAccessibleName(QStringLiteral("Category"));
    unit_->setAccessibleName(QStringLiteral("Unit Type"));
    for (QComboBox* box : {store_, category_, unit_}) {
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    }
}

void ProductEditor::ShowRecord(const ShoppingRecord& record)
{
    description_->setPlainText(RecordText(record.notes()));
    SelectEntry(unit_, record.unitId);
    SelectEntry(store_, record.storeId);
    SelectEntry(category_, record.categoryId);
    // Zero reads as it does in a new product, not as a field left blank.
    tax_->setText(Fixed2(record.taxPercent));
    // A whole quantity shows as one; a fraction is shown too, so saving unchanged keeps it.
    quantity_->setText(record.quantity == 0 ? QString()
                           : record.quantity == std::trunc(record.quantity)
                           ? QString::number(record.quantity, 'f', 0)
                           : QString::number(record.quantity, 'g', 12));
    price_->setText(Fixed2(record.pricePerUnit));
    name_->setText(RecordText(record.name()));
    if (record.startDate != 0) {
        date_->setDate(LocalDateOf(record.startDate));
    }

    const int choice = PurchaseChoice::OfSchedule(record.purchaseType, record.interval);
    purchaseType_->setCurrentIndex(choice - 1);
    PurchaseTypeChanged();
    const PurchaseChoice::DayKind days = PurchaseChoice::DayKindOf(choice);
    if (days == PurchaseChoice::DayKind::Weekday) {
        SelectDay(PurchaseChoice::BoxWeekday(record.dayValue));
    } else if (days != PurchaseChoice::DayKind::None) {
        SelectDay(record.dayValue);
    }

    slots_ = record.coupons;
    for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
        if (slots_[slot].id >= 1) {
            AddCouponRow(slot);
        }
    }
}

void ProductEditor::PurchaseTypeChanged()
{
    const int choice = purchaseType_->currentData().toInt();
    const PurchaseChoice::DayKind days = PurchaseChoice::DayKindOf(choice);
    const QString before = dayCaption_->text();
    const int chosenDay = day_->currentData().toInt();
    dayCaption_->setText(PurchaseChoice::DayCaption(days));
    day_->setAccessibleName(dayCaption_->text().chopped(1));
    date_->setVisible(days == PurchaseChoice::DayKind::None);
    day_->setVisible(days != PurchaseChoice::DayKind::None);
    // The box holds exactly the numbers of the new choice; a day of the same meaning stays chosen.
    day_->clear();
    for (int number = 1; number <= PurchaseChoice::DayCount(days); ++number) {
        day_->addItem(PurchaseChoice::DayText(days, number), number);
    }
    day_->setCurrentIndex(-1);
    if (before == dayCaption_->text()) {
        SelectDay(chosenDay);
    }
}

void ProductEditor::SelectDay(int number)
{
    day_->setCurrentIndex(day_->findData(number));
}

void ProductEditor::AddCouponRow(std::size_t slot)
{
    auto* row = new QTreeWidgetItem(coupons_, {RecordText(slots_[slot].title()), QString()});
    row->setIcon(0, ShoppingIcons::Coupon());
    row->setData(0, kSlotRole, static_cast<int>(slot));
}

void ProductEditor::CouponRowChanged()
{
    const bool selected = SelectedCoupon() != nullptr;
    open_->setEnabled(selected);
    view_->setEnabled(selected);
    remove_->setEnabled(selected);
}

const ItemRecord* ProductEditor::SelectedCoupon() const
{
    const QList<QTreeWidgetItem*> selected = coupons_->selectedItems();
    if (selected.isEmpty()) {
        return nullptr;
    }
    const int slot = selected.front()->data(0, kSlotRole).toInt();
    return slot >= 0 && slot < static_cast<int>(slots_.size()) ? &slots_[static_cast<std::size_t>(slot)]
                                                               : nullptr;
}

void ProductEditor::Warn(const QString& text)
{
    MessageBoxes::Tell(this, QStringLiteral("Tallyhawk"), text, QMessageBox::Warning);
}

bool ProductEditor::Gather(ShoppingValues& values)
{
    // The checks and messages of the core, the same as the command line's.
    values.name = name_->text().toStdString();
    if (std::optional<std::string> failure = ProductInput::CheckName(values.name)) {
        Warn(QString::fromStdString(*failure));
        return false;
    }
    const struct
    {
        QLineEdit* edit;
        ProductInput::Amount which;
        double* value;
    } amounts[] = {{price_, ProductInput::Amount::PricePerUnit, &values.pricePerUnit},
                   {quantity_, ProductInput::Amount::Quantity, &values.quantity},
                   {tax_, ProductInput::Amount::TaxPercent, &values.taxPercent}};
    for (const auto& [edit, which, value] : amounts) {
        const ProductInput::Reading reading = ProductInput::ReadAmount(which, edit->text().toStdString());
        if (reading.failure) {
            Warn(QString::fromStdString(*reading.failure));
            edit->setFocus();
            return false;
        }
        *value = reading.value;
    }

    const struct
    {
        QComboBox* box;
        IdNameEntry* entry;
        const char* tooLong;
    } entries[] = {
        {unit_, &values.unit, "The unit type has more than 50 characters."},
        {store_, &values.store, "The store name has more than 50 characters."},
        {category_, &values.category, "The category name has more than 50 characters."},
    };
    for (const auto& [box, entry, tooLong] : entries) {
        const QString text = box->currentText().trimmed();
        if (CharacterCount(text) > kNameLimit) {
            Warn(QString::fromLatin1(tooLong));
            return false;
        }
        *entry = EntryOf(box, text);
    }

    const int choice = purchaseType_->currentData().toInt();
    const int day = day_->currentData().toInt();
    values.purchaseType = PurchaseChoice::PurchaseTypeOf(choice);
    values.interval = PurchaseChoice::IntervalOf(choice);
    values.dayValue = 0;
    const std::int32_t today = LocalTimeOnDayOf(Clock::Now(), 1, 0, 0);
    // A record without a start (made with no schedule) starts its new one today.
    const std::int32_t scheduleStart = record_ && record_->startDate != 0 ? record_->startDate : today;
    switch (PurchaseChoice::DayKindOf(choice)) {
    case PurchaseChoice::DayKind::None:
        if (choice == 0 && kind_ != ShoppingDatabase::kPurchases) {
            Warn(QStringLiteral("You must select a purchase type for this product."));
            return false;
        }
        // A purchase keeps the moment it was bought while its date is left alone.
        values.startDate = kind_ == ShoppingDatabase::kPurchases && record_
                && date_->date() == LocalDateOf(record_->startDate)
            ? record_->startDate
            : OneInTheMorning(date_->date());
        if (choice == 0) {
            // A purchase of a product without a schedule: the type box cannot change it.
            values.purchaseType = record_ ? record_->purchaseType : 0;
        }
        break;
    case PurchaseChoice::DayKind::DaysInterval:
        if (day < 1) {
            Warn(QStringLiteral("You must select the days interval for this daily purchase."));
            return false;
        }
        values.dayValue = static_cast<std::int16_t>(day);
        values.startDate = scheduleStart;
        break;
    case PurchaseChoice::DayKind::Weekday:
        if (day < 1) {
            Warn(QStringLiteral("You must select the day of the week for this weekly purchase."));
            return false;
        }
        values.dayValue = PurchaseChoice::StoredWeekday(day);
        values.startDate = scheduleStart;
        break;
    case PurchaseChoice::DayKind::DayOfMonth:
        if (day < 1) {
            Warn(QStringLiteral("You must select the day of the month for this monthly purchase."));
            return false;
        }
        values.dayValue = static_cast<std::int16_t>(day);
        values.startDate = scheduleStart;
        break;
    }

    values.notes = description_->toPlainText().left(kDescriptionLimit).toStdString();
    values.coupons = slots_;
    return true;
}

void ProductEditor::Save()
{
    ShoppingValues values;
    if (!Gather(values)) {
        return;
    }
    ShoppingListCommands::SaveOutcome outcome
        = ShoppingListCommands(database_).Save(kind_, record_ ? record_->id : 0, std::move(values));
    if (outcome.refusal) {
        Warn(QString::fromStdString(*outcome.refusal));
        return;
    }
    if (!outcome.record) {
        Warn(QStringLiteral("There was an error while saving the product data to the database."));
        return;
    }
    saved_ = std::move(outcome.record);
    done(QDialog::Accepted);
}

void ProductEditor::FindCoupons()
{
    const auto empty
        = std::find_if(slots_.begin(), slots_.end(), [](const ItemRecord& slot) { return slot.id < 1; });
    if (empty == slots_.end()) {
        Warn(QStringLiteral(
                 "You can apply a maximum of %1 coupons and deals for each product in your shopping "
                 "list.\nPlease remove at least one of the current coupons and deals if you want to "
                 "apply a new one.")
                 .arg(ShoppingRecord::kCouponSlots));
        return;
    }
    const QString name = name_->text();
    if (CharacterCount(name) < 2) {
        Warn(QStringLiteral(
            "You must type in the product name if you want Tallyhawk to search for coupons and "
            "deals for this product."));
        return;
    }
    const std::int32_t storeId = EntryOf(store_, store_->currentText().trimmed()).id;
    CouponPicker picker(CouponPicker::Mode::Coupons, name, storeId, 0, this);
    picker.SetSiteBaseUrl(services_.siteBaseUrl);
    picker.SetBrowser(&Browser());
    if (RunPicker(picker) != CouponPicker::kSelected || picker.ChosenItem().id <= 0) {
        return;
    }
    const ItemRecord& chosen = picker.ChosenItem();
    const bool applied = std::any_of(
        slots_.begin(), slots_.end(), [&](const ItemRecord& slot) { return slot.id == chosen.id; });
    if (applied) {
        Warn(
            QStringLiteral("The selected coupond or deal is already applied to the current product.\nYou can "
                           "not apply the same coupon more than once to the same product."));
        return;
    }
    *empty = chosen;
    AddCouponRow(static_cast<std::size_t>(empty - slots_.begin()));
}

void ProductEditor::ComparePricesOnline()
{
    const QString name = name_->text();
    if (CharacterCount(name) < 2) {
        Warn(
            QStringLiteral("You must type in the product name if you want Tallyhawk to compare online prices "
                           "for this product."));
        return;
    }
    if (!services_.comparePrices) {
        return;
    }
    // By name: the agents' categories and the shopping categories are two lists with ids of their own.
    const std::int32_t comparisonId = services_.comparePrices(this, name, category_->currentText().trimmed());
    if (comparisonId <= 0) {
        return;
    }
    CouponPicker picker(CouponPicker::Mode::PriceResults, name, 0, comparisonId, this);
    picker.SetSiteBaseUrl(services_.siteBaseUrl);
    picker.SetBrowser(&Browser());
    if (RunPicker(picker) != CouponPicker::kSelected || picker.ChosenResult().id <= 0) {
        return;
    }
    const PriceResult& offer = picker.ChosenResult();
    description_->setPlainText(
        QStringLiteral("Store: %1\nURL: %2\n%3")
            .arg(RecordText(offer.siteName), RecordText(offer.link), RecordText(offer.text.value_or(""))));
    price_->setText(Fixed2(offer.price));
    store_->setEditText(RecordText(offer.siteName));
}

void ProductEditor::OpenSelectedCoupon()
{
    if (const ItemRecord* item = SelectedCoupon()) {
        Browser().Open(RedirectPageUrl(services_.siteBaseUrl, item->kind, item->id), true);
    }
}

void ProductEditor::ViewSelectedCoupon()
{
    if (const ItemRecord* item = SelectedCoupon()) {
        Browser().Open(ItemPageUrl(services_.siteBaseUrl, item->kind, item->id), true);
    }
}

void ProductEditor::RemoveSelectedCoupon()
{
    const QList<QTreeWidgetItem*> selected = coupons_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const int slot = selected.front()->data(0, kSlotRole).toInt();
    if (slot >= 0 && slot < static_cast<int>(slots_.size())) {
        slots_[static_cast<std::size_t>(slot)].id = 0;
    }
    delete selected.front();
    CouponRowChanged();
}

BrowserLauncher& ProductEditor::Browser()
{
    if (services_.browser == nullptr) {
        ownBrowser_ = std::make_unique<BrowserLauncher>();
        services_.browser = ownBrowser_.get();
    }
    return *services_.browser;
}

int ProductEditor::RunPicker(CouponPicker& picker)
{
    return pickerRun_(picker);
}

} // namespace tallyhawk
