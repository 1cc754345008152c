#include "gui/compare/agent_workshop.h"

#include "core/compare/agent_draft.h"
#include "core/compare/agent_file.h"
#include "core/compare/result_scraper.h"
#include "core/compare/saved_page.h"
#include "core/compare/web_spider.h"
#include "gui/compare/agent_fields_form.h"
#include "gui/compare/page_source_view.h"
#include "gui/controls/record_text.h"
#include "gui/controls/system_colors.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace tallyhawk
{
namespace
{

// How long typing may pause before the page is scraped again.
constexpr int kRescrapeDelayMs = 250;

std::string InFolder(const std::string& folder, const char* name)
{
    return folder.empty() ? std::string(name) : folder + "/" + name;
}

QString Text(const std::string& bytes)
{
    return RecordText(bytes);
}

// The colour of a marker pair's hits: its own hue, laid lightly over the page's background so the text
// stays readable on a light and a dark palette alike.
QColor PairColor(std::string_view pair, const QPalette& palette)
{
    QColor hue(0x80, 0x80, 0x80);
    if (pair == "Item") {
        hue = QColor(0x33, 0x66, 0xdd);
    } else if (pair == "URL") {
        hue = QColor(0x22, 0x99, 0x44);
    } else if (pair == "Price") {
        hue = QColor(0xdd, 0x33, 0x33);
    } else if (pair == "Promo") {
        hue = QColor(0x99, 0x33, 0xcc);
    }
    return SystemColors::Mix(hue, palette.color(QPalette::Base), 0.38);
}

QString PriceText(double price)
{
    return price > 0.0 ? QString::number(price, 'f', 2) : QString();
}

} // namespace

AgentWorkshop::AgentWorkshop(std::string dataFolder, HttpFetcher fetcher, QWidget* parent)
    : QDialog(parent)
    , dataFolder_(std::move(dataFolder))
    , fetcher_(fetcher)
    , agentBox_(new QComboBox(this))
    , searchEdit_(new QLineEdit(this))
    , fetchButton_(new QPushButton(QStringLiteral("&Fetch"), this))
    , stopButton_(new QPushButton(QStringLiteral("&Stop"), this))
    , openButton_(new QPushButton(QStringLiteral("&Open File..."), this))
    , saveButton_(new QPushButton(QStringLiteral("Save to &My Agents"), this))
    , progress_(new QProgressBar(this))
    , status_(new QLabel(this))
    , problem_(new QLabel(this))
    , form_(new AgentFieldsForm(this))
    , source_(new PageSourceView(this))
    , offers_(new QTableWidget(0, 4, this))
    , rescrapeTimer_(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Agent Workshop"));
    setObjectName(QStringLiteral("agentWorkshop"));
    agentBox_->setObjectName(QStringLiteral("agentBox"));
    agentBox_->setAccessibleName(QStringLiteral("Agent"));
    searchEdit_->setObjectName(QStringLiteral("searchText"));
    searchEdit_->setAccessibleName(QStringLiteral("Search text"));
    searchEdit_->setPlaceholderText(QStringLiteral("What to search the shop for"));
    fetchButton_->setObjectName(QStringLiteral("fetch"));
    stopButton_->setObjectName(QStringLiteral("stop"));
    openButton_->setObjectName(QStringLiteral("openFile"));
    saveButton_->setObjectName(QStringLiteral("save"));
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);
    source_->setObjectName(QStringLiteral("pageSource"));
    offers_->setObjectName(QStringLiteral("offers"));
    offers_->setAccessibleName(QStringLiteral("Offers"));
    offers_->setHorizontalHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Price"), QStringLiteral("Link"), QStringLiteral("Result")});
    offers_->horizontalHeader()->setStretchLastSection(true);
    offers_->verticalHeader()->setVisible(false);
    offers_->setWordWrap(false);
    offers_->setColumnWidth(0, fontMetrics().averageCharWidth() * 32);
    offers_->setColumnWidth(2, fontMetrics().averageCharWidth() * 28);
    offers_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    offers_->setSelectionBehavior(QAbstractItemView::SelectRows);
    progress_->setRange(0, 0); // a fetch has no known length: a busy bar
    progress_->setMaximumWidth(fontMetrics().averageCharWidth() * 16);
    progress_->setVisible(false);
    stopButton_->setEnabled(false);
    saveButton_->setEnabled(false);
    rescrapeTimer_->setSingleShot(true);
    rescrapeTimer_->setInterval(kRescrapeDelayMs);

    auto* pick = new QHBoxLayout;
    auto* agentLabel = new QLabel(QStringLiteral("&Agent:"), this);
    agentLabel->setBuddy(agentBox_);
    auto* searchLabel = new QLabel(QStringLiteral("Search &text:"), this);
    searchLabel->setBuddy(searchEdit_);
    pick->addWidget(agentLabel);
    pick->addWidget(agentBox_, 2);
    pick->addWidget(searchLabel);
    pick->addWidget(searchEdit_, 2);
    pick->addWidget(fetchButton_);
    pick->addWidget(stopButton_);
    pick->addWidget(openButton_);

    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(progress_);
    statusRow->addWidget(status_, 1);

    auto* formScroll = new QScrollArea(this);
    formScroll->setWidget(form_);
    formScroll->setWidgetResizable(true);
    formScroll->setFrameShape(QFrame::NoFrame);
    auto* legend = new QLabel(this);
    legend->setObjectName(QStringLiteral("legend"));
    QString chips = QStringLiteral("Marked in the page: ");
    for (const char* pair : {"Item", "Text", "URL", "Price", "Promo"}) {
        chips += QStringLiteral("<span style=\"background-color:%1\">&nbsp;%2&nbsp;</span> ")
                     .arg(PairColor(pair, palette()).name(), QString::fromLatin1(pair));
    }
    legend->setText(chips + QStringLiteral("and each result block."));
    auto* sourcePane = new QWidget(this);
    auto* sourceLayout = new QVBoxLayout(sourcePane);
    sourceLayout->setContentsMargins(0, 0, 0, 0);
    sourceLayout->addWidget(source_, 1);
    sourceLayout->addWidget(legend);
    auto* right = new QSplitter(Qt::Vertical, this);
    right->addWidget(sourcePane);
    right->addWidget(offers_);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(formScroll);
    split->addWidget(right);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    formScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(saveButton_, QDialogButtonBox::AcceptRole);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("close"));
    // Save keeps the window open: the next repair is often on the same page.
    connect(saveButton_, &QPushButton::clicked, this, &AgentWorkshop::Save);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    fetchButton_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pick);
    layout->addLayout(statusRow);
    layout->addWidget(split, 1);
    layout->addWidget(problem_);
    layout->addWidget(buttons);

    connect(agentBox_, &QComboBox::currentIndexChanged, this, &AgentWorkshop::AgentPicked);
    connect(fetchButton_, &QPushButton::clicked, this, &AgentWorkshop::Fetch);
    connect(searchEdit_, &QLineEdit::returnPressed, this, &AgentWorkshop::Fetch);
    connect(stopButton_, &QPushButton::clicked, this, &AgentWorkshop::StopFetch);
    connect(openButton_, &QPushButton::clicked, this, &AgentWorkshop::OpenFile);
    connect(form_, &AgentFieldsForm::Edited, rescrapeTimer_, qOverload<>(&QTimer::start));
    connect(searchEdit_, &QLineEdit::textEdited, rescrapeTimer_, qOverload<>(&QTimer::start));
    connect(rescrapeTimer_, &QTimer::timeout, this, &AgentWorkshop::Rescrape);

    const QSize wanted(1000, 700);
    const QRect available = screen() ? screen()->availableGeometry() : QRect(QPoint(), wanted);
    resize(wanted.boundedTo(available.size() * 0.9));
    // The markers are read whole more often than the page is: the form starts wide.
    split->setSizes({2 * width() / 5, 3 * width() / 5});
    SetStatus(QStringLiteral("Reading the agents..."));
    LoadAgents();
}

AgentWorkshop::~AgentWorkshop()
{
    // The workers post to this window: they end before it does.
    for (std::jthread* work : {&fetchWork_, &scrapeWork_, &fileWork_}) {
        work->request_stop();
        if (work->joinable()) {
            work->join();
        }
    }
}

void AgentWorkshop::LoadAgents()
{
    fileWork_ = std::jthread([this, folder = dataFolder_] {
        auto configuration = std::make_shared<AgentConfiguration>();
        std::int32_t status = configuration->Load(InFolder(folder, WebSpider::kConfigurationFile));
        configuration->MergeUserFile(InFolder(folder, AgentConfiguration::kUserFile));
        QMetaObject::invokeMethod(
            this, [this, configuration, status] { TakeAgents(configuration, status); }, Qt::QueuedConnection);
    });
}

void AgentWorkshop::TakeAgents(std::shared_ptr<AgentConfiguration> configuration, std::int32_t status)
{
    const bool first = !configuration_;
    configuration_ = std::move(configuration);
    const std::int32_t keep = wantedSiteId_ ? wantedSiteId_ : agentBox_->currentData().toInt();
    {
        const QSignalBlocker quiet(agentBox_);
        agentBox_->clear();
        for (const std::shared_ptr<WebAgent>& agent : configuration_->agents()) {
            agentBox_->addItem(QString::number(agent->siteId) + QStringLiteral("  ")
                                   + Text(std::string(agent->siteName.value_or(""))) + QStringLiteral("  (")
                                   + (agent->origin == AgentOrigin::User ? QStringLiteral("your own")
                                                                         : QStringLiteral("the site's"))
                                   + QStringLiteral(")"),
                               agent->siteId);
        }
        agentBox_->addItem(QStringLiteral("New agent"), 0);
        const int index = agentBox_->findData(keep);
        agentBox_->setCurrentIndex(index >= 0 && keep != 0 ? index : 0);
    }
    wantedSiteId_ = 0;
    if (!first) {
        // A reload after a save: its own status stands.
    } else if (configuration_->AgentCount() == 0) {
        SetStatus(
            status == kCannotOpen
                ? QStringLiteral(
                    "There are no agents yet: a list refresh downloads the site's. Start a new one here.")
                : QStringLiteral("The agent files hold no agent that loads. Start a new one here."));
    } else {
        SetStatus(QStringLiteral("Type a search text and fetch the result page, or open a saved page."));
    }
    AgentPicked();
    emit AgentsLoaded();
}

void AgentWorkshop::ChooseAgent(std::int32_t siteId)
{
    const int index = agentBox_->findData(siteId);
    if (index >= 0) {
        agentBox_->setCurrentIndex(index);
    } else {
        wantedSiteId_ = siteId; // the agents are still being read
    }
}

void AgentWorkshop::AgentPicked()
{
    if (!configuration_) {
        return;
    }
    const std::int32_t siteId = agentBox_->currentData().toInt();
    AgentDraft draft;
    if (std::shared_ptr<WebAgent> agent = siteId ? configuration_->FindAgent(siteId) : nullptr) {
        draft = AgentDraft::FromAgent(*agent);
    } else {
        // A new agent takes the next free SiteId and an address to fill in.
        std::int32_t highest = 0;
        for (const std::shared_ptr<WebAgent>& agent : configuration_->agents()) {
            highest = std::max(highest, agent->siteId);
        }
        draft.siteId = highest + 1;
        *draft.Text("SiteType") = configuration_->categories().empty()
            ? std::string("1")
            : std::to_string(configuration_->categories().front().typeId);
        *draft.Text("SiteName") = "New shop";
        *draft.Text("SiteAddress") = "https://shop.example";
        *draft.Text("FormatString") = "https://shop.example/search?q= KEYWORD ";
    }
    form_->SetDraft(draft);
    Rescrape();
}

void AgentWorkshop::Fetch()
{
    const AgentDraft::Built built = form_->Draft().Build();
    if (!built.agent) {
        SetStatus(QStringLiteral("Nothing fetched: the agent cannot be used yet."));
        return;
    }
    const QByteArray text = searchEdit_->text().trimmed().toUtf8();
    std::string url;
    const std::int32_t status
        = built.agent->BuildSearchUrl(std::string_view(text.constData(), text.size()), url);
    if (status == kNoKeywordMarker) {
        SetStatus(QStringLiteral("Nothing fetched: the FormatString has no \" KEYWORD \" after its start."));
        return;
    }
    if (status != kOk) {
        SetStatus(QStringLiteral(
                      "Nothing fetched: type a search text (the address may have at most %1 characters).")
                      .arg(WebAgent::kMaxUrlLength));
        return;
    }
    const std::uint64_t run = ++fetchRun_;
    SetBusy(true);
    SetStatus(QStringLiteral("Fetching %1 ...").arg(Text(url)));
    fetchWork_ = std::jthread([this, fetcher = fetcher_, url, run](std::stop_token stop) {
        FetchReport report;
        std::optional<std::string> page = fetcher.FetchPage(url, nullptr, stop, report);
        QString failure;
        if (!page) {
            failure = stop.stop_requested() ? QString() : QString::fromStdString(FetchFailureText(report));
        }
        QMetaObject::invokeMethod(
            this,
            [this, run, page = std::move(page), failure, url]() mutable {
                FetchEnded(run, std::move(page), failure, Text(url));
            },
            Qt::QueuedConnection);
    });
}

void AgentWorkshop::StopFetch()
{
    fetchWork_.request_stop();
    SetStatus(QStringLiteral("Stopping the fetch..."));
}

void AgentWorkshop::FetchEnded(std::uint64_t run,
                               std::optional<std::string> page,
                               QString failure,
                               QString url)
{
    if (run != fetchRun_) {
        return;
    }
    SetBusy(false);
    if (!page) {
        SetStatus(failure.isEmpty() ? QStringLiteral("The fetch was stopped.")
                                    : QStringLiteral("The page could not be fetched: %1.").arg(failure));
        return;
    }
    ShowPage(std::move(*page), url);
}

void AgentWorkshop::OpenFile()
{
    const QString path
        = QFileDialog::getOpenFileName(this,
                                       QStringLiteral("Open a Saved Result Page"),
                                       QString(),
                                       QStringLiteral("Web pages (*.html *.htm);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    fileWork_ = std::jthread([this, path] {
        std::optional<std::string> page = ReadSavedPage(path.toStdString());
        QMetaObject::invokeMethod(
            this,
            [this, path, page = std::move(page)]() mutable {
                if (page) {
                    ShowPage(std::move(*page), path);
                } else {
                    SetStatus(QStringLiteral("Cannot read %1.").arg(path));
                }
            },
            Qt::QueuedConnection);
    });
}

void AgentWorkshop::ShowPage(std::string page, const QString& source)
{
    page_ = std::make_shared<const std::string>(std::move(page));
    source_->SetPage(*page_);
    SetStatus(QStringLiteral("%1 (%2 bytes)").arg(source).arg(page_->size()));
    Rescrape();
}

void AgentWorkshop::Rescrape()
{
    rescrapeTimer_->stop();
    const AgentDraft draft = form_->Draft();
    const AgentDraft::Built built = draft.Build();
    saveButton_->setEnabled(built.agent != nullptr);
    if (!built.agent) {
        problem_->setText(QStringLiteral("This agent cannot be used yet: %1.").arg(Text(built.problem)));
        ++scrapeRun_; // a scrape still running is of an older agent
        offers_->setRowCount(0);
        source_->SetMarks({});
        return;
    }
    problem_->clear();
    if (!page_) {
        return;
    }
    const std::uint64_t run = ++scrapeRun_;
    const QByteArray text = searchEdit_->text().trimmed().toUtf8();
    scrapeWork_ = std::jthread(
        [this, run, agent = built.agent, page = page_, search = std::string(text.constData(), text.size())](
            std::stop_token stop) {
            auto trace = std::make_shared<ScrapeTrace>();
            std::optional<ResultList> list
                = ResultScraper(*page, *agent, trace.get(), stop).CollectResults(search);
            if (stop.stop_requested()) {
                return;
            }
            QMetaObject::invokeMethod(
                this,
                [this, run, trace, list = std::move(list)]() mutable {
                    ShowScrape(run, trace, std::move(list));
                },
                Qt::QueuedConnection);
        });
}

void AgentWorkshop::ShowScrape(std::uint64_t run,
                               std::shared_ptr<const ScrapeTrace> trace,
                               std::optional<ResultList> list)
{
    if (run != scrapeRun_) {
        return;
    }
    std::vector<PageSourceView::Mark> marks;
    const QPalette& colors = palette();
    const QColor blockColor
        = SystemColors::Mix(colors.color(QPalette::Highlight), colors.color(QPalette::Base), 0.14);
    offers_->setRowCount(static_cast<int>(trace->blocks.size()));
    int row = 0;
    for (const ScrapedBlock& block : trace->blocks) {
        marks.push_back({block.pageOffset, block.length, blockColor});
        for (const ScrapedField& field : block.fields) {
            if (field.pageOffset && field.raw) {
                marks.push_back({*field.pageOffset, field.raw->size(), PairColor(field.pair, colors)});
            }
        }
        QString name = Text(block.result.name);
        if (name.isEmpty() && !block.fields.empty() && block.fields.front().raw) {
            name = Text(*block.fields.front().raw);
        }
        const QString items[] = {name,
                                 PriceText(block.result.price),
                                 Text(block.result.link),
                                 Text(block.verdict.empty() ? std::string("not reached") : block.verdict)};
        for (int column = 0; column < 4; ++column) {
            auto* item = new QTableWidgetItem(items[column]);
            item->setToolTip(items[column]);
            if (column == 1) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            offers_->setItem(row, column, item);
        }
        ++row;
    }
    offers_->resizeColumnToContents(1);
    source_->SetMarks(marks);
    const std::size_t kept = list ? list->Count() : 0;
    QString summary = QStringLiteral("%1 of %2 blocks kept.").arg(kept).arg(trace->blocks.size());
    if (!trace->header.empty()) {
        summary += QStringLiteral(" ") + Text(trace->header);
    }
    if (!trace->end.empty()) {
        summary += QStringLiteral(" End: ") + Text(trace->end);
    }
    SetStatus(summary);
    emit Scraped();
}

void AgentWorkshop::Save()
{
    const AgentDraft draft = form_->Draft();
    if (!draft.Build().agent) {
        return;
    }
    saveButton_->setEnabled(false);
    fileWork_ = std::jthread([this, draft, path = InFolder(dataFolder_, AgentConfiguration::kUserFile)] {
        AgentConfiguration incoming(AgentOrigin::User);
        incoming.LoadText(draft.ToText());
        std::optional<std::string> failure = SaveUserAgents(path, incoming);
        QMetaObject::invokeMethod(
            this,
            [this, failure, siteId = draft.siteId] {
                saveButton_->setEnabled(true);
                if (failure) {
                    SetStatus(QStringLiteral("Not saved: %1.").arg(Text(*failure)));
                    return;
                }
                SetStatus(
                    QStringLiteral("Saved agent %1 to your own agents (%2); the site's list refresh leaves "
                                   "them alone.")
                        .arg(siteId)
                        .arg(QString::fromLatin1(AgentConfiguration::kUserFile)));
                wantedSiteId_ = siteId;
                LoadAgents();
                emit Saved();
            },
            Qt::QueuedConnection);
    });
}

void AgentWorkshop::SetBusy(bool fetching)
{
    progress_->setVisible(fetching);
    stopButton_->setEnabled(fetching);
    fetchButton_->setEnabled(!fetching);
}

void AgentWorkshop::SetStatus(const QString& text)
{
    status_->setText(text);
}

} // namespace tallyhawk
