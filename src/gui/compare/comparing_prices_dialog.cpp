#include "gui/compare/comparing_prices_dialog.h"

#include "core/compare/web_spider.h"
#include "gui/compare/compare_message.h"
#include "gui/controls/record_text.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tallyhawk
{
namespace
{

constexpr int kSiteIdRole = Qt::UserRole;

QString AgentName(const WebAgent& agent)
{
    return RecordText(agent.siteName.value_or(std::string_view()));
}

} // namespace

ComparingPricesDialog::ComparingPricesDialog(WebSpider& spider,
                                             const QString& itemName,
                                             std::int32_t categoryId,
                                             QWidget* parent)
    : QDialog(parent)
    , spider_(spider)
    , itemName_(itemName)
    , categoryId_(categoryId)
    , status_(new QLabel(QStringLiteral("Starting the price comparison search agents....")))
    , agents_(new QTreeWidget)
    , done_(nullptr)
    , stop_(nullptr)
    , startTimer_(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Comparing Prices"));
    // No close box: the run ends through Stop and Done.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    status_->setWordWrap(true);
    status_->setAccessibleName(QStringLiteral("Search status"));

    agents_->setColumnCount(2);
    agents_->setHeaderLabels({QStringLiteral("Agent"), QStringLiteral("Status")});
    agents_->headerItem()->setTextAlignment(kStatusColumn, Qt::AlignRight | Qt::AlignVCenter);
    agents_->setRootIsDecorated(false);
    agents_->setUniformRowHeights(true);
    agents_->setSelectionMode(QAbstractItemView::SingleSelection);
    agents_->setAccessibleName(QStringLiteral("Search agents"));
    agents_->setIconSize(QSize(16, 16));
    QHeaderView* header = agents_->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(kAgentColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(kStatusColumn, QHeaderView::Interactive);
    header->resizeSection(kStatusColumn, 100);
    // Room for the Agent column's 140 pixels beside the Status column's 100 at the start; the list
    // grows with the dialog.
    agents_->setMinimumWidth(240 + agents_->frameWidth() * 2);
    header->setMinimumSectionSize(60);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QDialogButtonBox;
    done_ = buttons->addButton(QStringLiteral("Done"), QDialogButtonBox::AcceptRole);
    stop_ = buttons->addButton(QStringLiteral("Stop"), QDialogButtonBox::RejectRole);
    done_->setDefault(true);
    done_->setAccessibleName(QStringLiteral("Done"));
    stop_->setAccessibleName(QStringLiteral("Stop"));
    done_->setEnabled(false);
    stop_->setEnabled(false);
    connect(done_, &QPushButton::clicked, this, &ComparingPricesDialog::Done);
    connect(stop_, &QPushButton::clicked, this, &ComparingPricesDialog::Stop);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(agents_, 1);
    layout->addWidget(line);
    layout->addWidget(buttons);

    setTabOrder(agents_, done_);
    setTabOrder(done_, stop_);
    agents_->setFocus();

    resize(qMax(sizeHint().width(), fontMetrics().averageCharWidth() * 56), sizeHint().height());

    startTimer_->setSingleShot(true);
    startTimer_->setInterval(kStartDelayMs);
    connect(startTimer_, &QTimer::timeout, this, &ComparingPricesDialog::StartSearch);
}

ComparingPricesDialog::~ComparingPricesDialog()
{
    // Closed while agents still search (the window went, or Done after a stop): the workers are asked
    // to end, and none of their later reports may reach this dialog.
    if (started_ && state_ != State::Finished) {
        spider_.StopAll();
    }
    spider_.Detach(this);
}

void ComparingPricesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!started_ && !startTimer_->isActive() && state_ == State::Starting) {
        startTimer_->start();
    }
}

void ComparingPricesDialog::StartSearch()
{
    started_ = true;
    if (spider_.Start(categoryId_, itemName_.toStdString(), this) > 0) {
        state_ = State::Running;
        done_->setEnabled(false);
        stop_->setEnabled(true);
        status_->setText(QStringLiteral("Tallyhawk is comparing prices for your item...."));
        return;
    }
    spider_.Detach(this);
    ShowCompareMessage(
        this,
        QStringLiteral("There was an error while starting the search agents for the selected category."));
    Finish();
    status_->setText(QStringLiteral("There was an error while starting the price comparison."));
}

void ComparingPricesDialog::Finish()
{
    state_ = State::Finished;
    done_->setEnabled(true);
    stop_->setEnabled(false);
    done_->setFocus();
}

void ComparingPricesDialog::Stop()
{
    if (state_ != State::Running) {
        return;
    }
    // The dialog stays: each agent still searching reports failed, and the first of those reports
    // finishes the run.
    spider_.StopAll();
}

void ComparingPricesDialog::Done()
{
    if (state_ != State::Finished) {
        return;
    }
    if (spider_.ResultCount() == 0) {
        QDialog::reject();
        return;
    }
    const std::int32_t id = spider_.SaveResults();
    if (id > 0) {
        savedId_ = id;
    } else {
        ShowCompareMessage(this,
                           QStringLiteral("There was an error while saving the price comparison results.\n"
                                          "Please try your search again."));
    }
    accept();
}

void ComparingPricesDialog::reject()
{
    switch (state_) {
    case State::Starting:
        // Nothing runs yet: the search is simply not started.
        startTimer_->stop();
        QDialog::reject();
        return;
    case State::Running:
        Stop();
        return;
    case State::Finished:
        if (spider_.ResultCount() == 0 || !started_) {
            QDialog::reject();
        } else {
            Done(); // what was found is kept, as with Done
        }
        return;
    }
}

void ComparingPricesDialog::AgentStarted(const WebAgent& agent)
{
    QMetaObject::invokeMethod(
        this,
        [this, siteId = agent.siteId, name = AgentName(agent)] { AddAgentRow(siteId, name); },
        Qt::QueuedConnection);
}

void ComparingPricesDialog::AgentDone(const WebAgent& agent, std::int32_t count)
{
    QMetaObject::invokeMethod(
        this,
        [this, siteId = agent.siteId, count] {
            SetAgentStatus(siteId, QStringLiteral("%1 results").arg(count));
        },
        Qt::QueuedConnection);
}

void ComparingPricesDialog::AgentFailed(const WebAgent& agent, std::int32_t)
{
    QMetaObject::invokeMethod(
        this,
        [this, siteId = agent.siteId] { SetAgentStatus(siteId, QStringLiteral("failed")); },
        Qt::QueuedConnection);
}

void ComparingPricesDialog::SearchDone(std::int32_t total)
{
    QMetaObject::invokeMethod(
        this, [this, total] { ShowSearchDone(total); }, Qt::QueuedConnection);
}

void ComparingPricesDialog::AddAgentRow(std::int32_t siteId, const QString& name)
{
    auto* row = new QTreeWidgetItem;
    row->setText(kAgentColumn, name);
    row->setIcon(kAgentColumn,
                 QIcon::fromTheme(QStringLiteral("applications-internet"),
                                  style()->standardIcon(QStyle::SP_DriveNetIcon)));
    row->setData(kAgentColumn, kSiteIdRole, siteId);
    row->setText(kStatusColumn, QStringLiteral("searching"));
    row->setTextAlignment(kStatusColumn, Qt::AlignRight | Qt::AlignVCenter);
    // The newest agent stands at the top.
    agents_->insertTopLevelItem(0, row);
}

QTreeWidgetItem* ComparingPricesDialog::FindAgentRow(std::int32_t siteId) const
{
    for (int i = 0; i < agents_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = agents_->topLevelItem(i);
        if (row->data(kAgentColumn, kSiteIdRole).toInt() == siteId) {
            return row;
        }
    }
    return nullptr;
}

void ComparingPricesDialog::SetAgentStatus(std::int32_t siteId, const QString& status)
{
    if (QTreeWidgetItem* row = FindAgentRow(siteId)) {
        row->setText(kStatusColumn, status);
    }
}

void ComparingPricesDialog::ShowSearchDone(std::int32_t total)
{
    status_->setText(total <= 0 ? QStringLiteral("Tallyhawk found no price comparison results.")
                                : QStringLiteral("Tallyhawk found %1 price comparison results.").arg(total));
    if (state_ != State::Finished) {
        Finish();
    }
}

} // namespace tallyhawk
