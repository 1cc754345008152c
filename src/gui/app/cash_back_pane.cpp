#include "gui/app/cash_back_pane.h"

#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace tallyhawk
{

CashBackPane::CashBackPane(const QString& address, std::function<void()> openInBrowser, QWidget* parent)
    : QWidget(parent)
    , address_(new QLabel(address))
    , link_(new QLabel(QStringLiteral("<a href=\"open\">Open in browser</a>")))
{
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    address_->setAccessibleName(QStringLiteral("Address"));
    link_->setTextFormat(Qt::RichText);
    link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link_->setAccessibleName(QStringLiteral("Open in browser"));
    connect(link_, &QLabel::linkActivated, this, [open = std::move(openInBrowser)] { open(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(address_);
    layout->addWidget(link_);
    layout->addStretch(1);
}

} // namespace tallyhawk
