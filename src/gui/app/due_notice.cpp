#include "gui/app/due_notice.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

namespace tallyhawk
{

DueNotice::DueNotice(QWidget* parent)
    : QFrame(parent)
    , text_(new QLabel)
    , show_(new QPushButton(QStringLiteral("Show It")))
    , dismiss_(new QPushButton(QStringLiteral("Dismiss")))
{
    setObjectName(QStringLiteral("dueNotice"));
    text_->setObjectName(QStringLiteral("dueNoticeText"));
    show_->setObjectName(QStringLiteral("dueNoticeShow"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    setAccessibleName(QStringLiteral("Notice"));
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    show_->setAccessibleName(QStringLiteral("Show It"));
    show_->setToolTip(QStringLiteral("Show the Shopping List up to the day the product is due"));
    dismiss_->setAccessibleName(QStringLiteral("Dismiss"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    layout->addWidget(text_, 1);
    layout->addWidget(show_);
    layout->addWidget(dismiss_);

    connect(show_, &QPushButton::clicked, this, [this] {
        hide();
        emit showRequested(id_, due_);
    });
    connect(dismiss_, &QPushButton::clicked, this, &QWidget::hide);
    hide();
}

void DueNotice::Tell(const QString& name, std::int32_t id, std::int32_t due)
{
    id_ = id;
    due_ = due;
    text_->setText(Text(name, due));
    show();
}

QString DueNotice::Text(const QString& name, std::int32_t due)
{
    return QStringLiteral("%1 is due on %2.").arg(name, DayText(due));
}

QString DueNotice::DayText(std::int32_t due)
{
    // English month names whatever the locale, like every other text of the window.
    return QLocale::c().toString(QDateTime::fromSecsSinceEpoch(due).date(), QStringLiteral("d MMM yyyy"));
}

} // namespace tallyhawk
