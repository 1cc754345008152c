#include "gui/alerts/alert_popup.h"

#include "core/common/item_kind.h"
#include "gui/alerts/alert_link.h"
#include "gui/alerts/alert_placement.h"
#include "gui/alerts/text_elision.h"
#include "gui/controls/system_colors.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <climits>
#include <utility>

namespace tallyhawk
{

namespace
{

constexpr int kOpacity = 240;
constexpr std::int32_t kDefaultTimeout = 30;
// The width in average characters of the popup's font, and of its extra text.
constexpr int kWidthInCharacters = 80;
constexpr int kExtraInCharacters = 18;
constexpr int kDescriptionLines = 2;
// How long the window system is asked to draw attention to a new popup, at most.
constexpr int kFlashMilliseconds = 60'000;

// The popup's own colours of the link line and the extra text (light blue on hover), before they are made
// readable on the popup's background.
const QColor kLinkNormal(0, 0, 128);
const QColor kLinkHover(0, 0, 255);
const QColor kHot(255, 0, 0);
const QColor kVisited(255, 255, 255);

int TimeoutMilliseconds(std::int32_t seconds)
{
    const long long wanted = seconds < 1 ? kDefaultTimeout : seconds;
    return static_cast<int>(std::min<long long>(wanted * 1000, INT_MAX));
}

} // namespace

AlertPopup::AlertPopup(std::unique_ptr<ItemRecord> record, AlertCounters& counters, Setup setup)
    : QFrame(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint)
    // An empty record rather than none, so a caller's slip shows an empty popup instead of crashing.
    , record_(record ? std::move(record) : std::make_unique<ItemRecord>())
    , counters_(&counters)
    , setup_(std::move(setup))
    , texts_(MakeAlertTexts(*record_, setup_.siteBase))
    , link_(new AlertLink)
    , description_(new QLabel)
    , extra_(new QLabel)
    , close_(new QToolButton)
    , timer_(new QTimer(this))
{
    ++counters_->openAlerts;
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setWindowTitle(texts_.link);
    setAccessibleName(QStringLiteral("Tallyhawk alert"));
    setWindowOpacity(kOpacity / 255.0);
    BuildControls();
    ApplyColors();

    area_ = setup_.screenArea.value_or(PrimaryScreenArea());
    int width = fontMetrics().averageCharWidth() * kWidthInCharacters;
    if (!area_.isEmpty()) {
        width = std::min(width, area_.width() - 10);
    }
    width = std::max(width, minimumSizeHint().width());
    // Every popup is as high as the next, so they stack evenly whatever their texts.
    setFixedSize(width, sizeHint().height());

    counters_->stacked.push_back(this);
    TakePlace(counters_->stacked.size());
    show();

    timer_->setSingleShot(true);
    timer_->setInterval(TimeoutMilliseconds(setup_.notifyTimeout));
    connect(timer_, &QTimer::timeout, this, &QWidget::close);
    timer_->start();
    QApplication::alert(this, kFlashMilliseconds);
}

AlertPopup::~AlertPopup()
{
    Uncount();
}

QRect AlertPopup::PrimaryScreenArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

void AlertPopup::BuildControls()
{
    link_->SetLink(texts_.link, QString::fromStdString(texts_.address));
    connect(link_, &AlertLink::clicked, this, &AlertPopup::FollowLink);

    QFont bold = font();
    bold.setWeight(QFont::Bold);
    extra_->setFont(bold);
    extra_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int extraWidth = QFontMetrics(bold).averageCharWidth() * kExtraInCharacters;
    extra_->setText(ElideAtWord(texts_.extra, bold, extraWidth));
    extra_->setMaximumWidth(extraWidth);
    extra_->setAccessibleName(texts_.extra);
    if (extra_->text() != texts_.extra) {
        extra_->setToolTip(texts_.extra);
    }

    const int lineHeight = fontMetrics().lineSpacing();
    // Wrapped and cut to its lines by resizeEvent.
    description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    description_->setFixedHeight(lineHeight * kDescriptionLines);
    description_->setAccessibleName(texts_.description);

    QIcon closeIcon = QIcon::fromTheme(QStringLiteral("window-close"));
    if (closeIcon.isNull()) {
        closeIcon = style()->standardIcon(QStyle::SP_TitleBarCloseButton);
    }
    close_->setIcon(closeIcon);
    close_->setIconSize(QSize(lineHeight - 2, lineHeight - 2));
    close_->setAutoRaise(true);
    close_->setFocusPolicy(Qt::TabFocus);
    close_->setToolTip(QStringLiteral("Close"));
    close_->setAccessibleName(QStringLiteral("Close"));
    connect(close_, &QToolButton::clicked, this, &QWidget::close);

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(link_);
    top->addStretch(1);
    top->addWidget(extra_);
    top->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 1, 1, 4);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addWidget(description_);
    QWidget* last = link_;
    if (QLayout* actions = BuildActions()) {
        layout->addLayout(actions);
        for (const auto& [action, button] : actionButtons_) {
            setTabOrder(last, button);
            last = button;
        }
    }
    setTabOrder(last, close_);
}

QLayout* AlertPopup::BuildActions()
{
    const AlertActions& actions = setup_.actions;
    const bool summary = IsKind(record_->kind, ItemKind::AwaySummary);
    const bool item = IsStoredKind(record_->kind);
    // A summary without its folder to open has nothing to offer.
    if (!summary || actions.openDealsFolder) {
        AddAction(AlertAction::Open, QStringLiteral("Open"), [this] { FollowLink(); });
    }
    const bool forSale = item && !IsKind(record_->kind, ItemKind::Topic);
    if (forSale && actions.addToShoppingList) {
        AddAction(AlertAction::AddToShoppingList, QStringLiteral("Add to Shopping List"), [this] {
            Act(AlertAction::AddToShoppingList);
        });
    }
    if (item && actions.muteStore && !record_->storeName().empty()) {
        AddAction(
            AlertAction::MuteStore, QStringLiteral("Mute Store"), [this] { Act(AlertAction::MuteStore); });
    }
    if (item && actions.snooze) {
        AddAction(AlertAction::Snooze, QStringLiteral("Snooze 1 hour"), [this] { Act(AlertAction::Snooze); });
    }
    if (actionButtons_.empty()) {
        return nullptr;
    }
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    row->addStretch(1);
    for (const auto& [action, button] : actionButtons_) {
        row->addWidget(button);
    }
    return row;
}

QToolButton* AlertPopup::AddAction(AlertAction action, const QString& text, std::function<void()> run)
{
    static const char* const kNames[]
        = {"alertOpen", "alertAddToShoppingList", "alertMuteStore", "alertSnooze"};
    auto* button = new QToolButton;
    button->setText(text);
    button->setObjectName(QString::fromLatin1(kNames[static_cast<int>(action)]));
    button->setAccessibleName(text);
    button->setAutoRaise(true);
    // Reached with Tab, though the popup never takes the focus by itself.
    button->setFocusPolicy(Qt::TabFocus);
    connect(button, &QToolButton::clicked, this, std::move(run));
    actionButtons_.emplace_back(action, button);
    return button;
}

QToolButton* AlertPopup::actionButton(AlertAction action) const
{
    for (const auto& [kind, button] : actionButtons_) {
        if (kind == action) {
            return button;
        }
    }
    return nullptr;
}

void AlertPopup::Act(AlertAction action)
{
    // The popup closes first; the action runs from the event loop, so a dialog it opens never finds
    // the popup deleted under it.
    const ItemRecord item = *record_;
    std::function<void()> run;
    switch (action) {
    case AlertAction::AddToShoppingList:
        run = [add = setup_.actions.addToShoppingList, item] {
            add(item);
        };
        break;
    case AlertAction::MuteStore:
        run = [mute = setup_.actions.muteStore, item] {
            mute(item);
        };
        break;
    case AlertAction::Snooze:
        run = setup_.actions.snooze;
        break;
    case AlertAction::Open:
        return;
    }
    close();
    if (run) {
        QMetaObject::invokeMethod(qApp, std::move(run), Qt::QueuedConnection);
    }
}

void AlertPopup::ApplyColors()
{
    const QColor background = palette().color(QPalette::Window);
    const auto readable = [&background](const QColor& color) {
        return SystemColors::Readable(color, background, background, SystemColors::kMinimumContrast);
    };
    AlertLink::Colors colors;
    colors.normal = readable(texts_.hot ? kHot : kLinkNormal);
    colors.hover = readable(texts_.hot ? kHot : kLinkHover);
    colors.visited = readable(kVisited);
    link_->SetColors(colors);
    QPalette red = extra_->palette();
    red.setColor(QPalette::WindowText, readable(kHot));
    extra_->setPalette(red);
}

void AlertPopup::FollowLink()
{
    if (IsKind(record_->kind, ItemKind::AwaySummary)) {
        if (setup_.actions.openDealsFolder) {
            QMetaObject::invokeMethod(qApp, setup_.actions.openDealsFolder, Qt::QueuedConnection);
            close();
        }
        return;
    }
    if (setup_.openLink && setup_.openLink(texts_.address)) {
        link_->SetVisited();
    } else {
        QApplication::beep();
    }
}

void AlertPopup::TakePlace(std::size_t place)
{
    const AlertPlacement placement
        = PlaceAlert(area_, size(), static_cast<std::int32_t>(std::min<std::size_t>(place, INT_MAX)));
    if (counters_ != nullptr) {
        counters_->maxAlerts = placement.maxAlerts;
    }
    placed_ = placement.topLeft;
    move(placed_);
}

void AlertPopup::Unstack()
{
    if (counters_ == nullptr) {
        return;
    }
    std::vector<AlertPopup*>& stacked = counters_->stacked;
    const auto self = std::find(stacked.begin(), stacked.end(), this);
    if (self == stacked.end()) {
        return;
    }
    const auto first = static_cast<std::size_t>(self - stacked.begin());
    stacked.erase(self);
    for (std::size_t i = first; i < stacked.size(); ++i) {
        stacked[i]->TakePlace(i + 1);
    }
}

void AlertPopup::Uncount()
{
    if (counters_ != nullptr) {
        Unstack();
        --counters_->openAlerts;
        counters_ = nullptr;
    }
}

void AlertPopup::closeEvent(QCloseEvent* event)
{
    QFrame::closeEvent(event);
    if (event->isAccepted()) {
        timer_->stop();
        // Counted off at once, so the main window can open the next popup before this one is deleted.
        Uncount();
    }
}

void AlertPopup::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void AlertPopup::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QFrame::mousePressEvent(event);
        return;
    }
    pressed_ = true;
    // The window system moves the popup where it can; elsewhere it follows the pointer itself.
    QWindow* window = windowHandle();
    if (window != nullptr && window->startSystemMove()) {
        dragOffset_.reset();
    } else {
        dragOffset_ = event->globalPosition().toPoint() - pos();
    }
    event->accept();
}

void AlertPopup::mouseMoveEvent(QMouseEvent* event)
{
    if (dragOffset_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *dragOffset_);
        event->accept();
        return;
    }
    QFrame::mouseMoveEvent(event);
}

void AlertPopup::mouseReleaseEvent(QMouseEvent* event)
{
    dragOffset_.reset();
    QFrame::mouseReleaseEvent(event);
}

void AlertPopup::moveEvent(QMoveEvent* event)
{
    QFrame::moveEvent(event);
    // Dragged away by the user: it keeps where it was put, and its place in the stack goes to the
    // popups above.
    if (pressed_ && pos() != placed_) {
        Unstack();
    }
}

void AlertPopup::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    if (layout() == nullptr) {
        return;
    }
    const QMargins margins = layout()->contentsMargins() + contentsMargins();
    const int textWidth = width() - margins.left() - margins.right();
    description_->setText(
        ElideToLines(texts_.description, description_->font(), textWidth, kDescriptionLines));
}

} // namespace tallyhawk
