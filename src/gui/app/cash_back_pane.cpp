#include "gui/app/cash_back_pane.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#ifdef TALLYHAWK_WEBENGINE
#include <QWebEngineView>
#endif

#include <unistd.h>

#include <utility>

namespace tallyhawk
{

bool CashBackPane::Embedded()
{
#ifdef TALLYHAWK_WEBENGINE
    return true;
#else
    return false;
#endif
}

void CashBackPane::PrepareEngine()
{
#ifdef TALLYHAWK_WEBENGINE
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
#endif
}

CashBackPane::CashBackPane(const QString& address, std::function<void()> openInBrowser, QWidget* parent)
    : QWidget(parent)
    , url_(address)
    , pages_(new QStackedLayout(this))
    , address_(new QLabel(address))
    , link_(new QLabel(QStringLiteral("<a href=\"open\">Open in browser</a>")))
    , open_(new QPushButton(QStringLiteral("Open in Browser")))
{
    const auto open = [run = std::move(openInBrowser)] {
        run();
    };
    connect(link_, &QLabel::linkActivated, this, open);
    connect(open_, &QPushButton::clicked, this, open);
    fallback_ = BuildFallback();
    pages_->addWidget(fallback_);
}

QWidget* CashBackPane::BuildFallback()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("cashBackFallback"));
    page->setBackgroundRole(QPalette::Base);
    page->setAutoFillBackground(true);

    auto* heading = new QLabel(QStringLiteral("Cash Back Stores"));
    QFont large = heading->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * 1.4);
    heading->setFont(large);
    auto* about = new QLabel(
        QStringLiteral("Cash back stores pay part of what you spend back to you. Go to the store from its "
                       "link on the Quillmarch web site, shop as you always do, and the cash back is "
                       "credited to your account there once the store confirms the purchase."));
    about->setWordWrap(true);
    auto* where = new QLabel(QStringLiteral("The list of cash back stores is at:"));
    where->setWordWrap(true);
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    address_->setAccessibleName(QStringLiteral("Address"));
    link_->setTextFormat(Qt::RichText);
    link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link_->setAccessibleName(QStringLiteral("Open in browser"));
    // The button says the same as the link, for the keyboard; the link stays for the mouse.
    link_->hide();
    open_->setIcon(QIcon::fromTheme(QStringLiteral("internet-web-browser")));
    open_->setAccessibleName(QStringLiteral("Open in Browser"));

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    layout->addWidget(heading);
    layout->addWidget(about);
    layout->addWidget(where);
    layout->addWidget(address_);
    layout->addWidget(open_, 0, Qt::AlignLeft);
    layout->addWidget(link_);
    layout->addStretch(1);
    return page;
}

void CashBackPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The browser starts its processes only for a user who opens the folder.
    if (browser_ == nullptr) {
        ShowBrowser();
    }
}

void CashBackPane::ShowBrowser()
{
#ifdef TALLYHAWK_WEBENGINE
    auto* view = new QWebEngineView;
    view->setObjectName(QStringLiteral("cashBackView"));
    view->setAccessibleName(QStringLiteral("Cash Back Stores"));
    connect(view, &QWebEngineView::loadFinished, this, &CashBackPane::LoadFinished);
    browser_ = view;
    pages_->addWidget(view);
    pages_->setCurrentWidget(view);
    view->load(QUrl(url_));
#endif
}

void CashBackPane::LoadFinished(bool loaded)
{
    // A page that cannot be reached leaves the page of our own with its link, not the engine's error.
    pages_->setCurrentWidget(loaded ? browser_ : fallback_);
}

void CashBackPane::ReloadIfShown()
{
#ifdef TALLYHAWK_WEBENGINE
    if (auto* view = qobject_cast<QWebEngineView*>(browser_); view != nullptr && isVisible()) {
        pages_->setCurrentWidget(view);
        view->load(QUrl(url_));
    }
#endif
}

} // namespace tallyhawk
