#include "gui/app/about_dialog.h"

#include "core/common/program_version.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace tallyhawk
{

AboutDialog::AboutDialog(const QString& homePage, std::function<void()> openLink, QWidget* parent)
    : QDialog(parent)
    , version_(new QLabel(
          QStringLiteral("Version ")
          + QString::fromUtf8(kReleaseVersion.data(), static_cast<qsizetype>(kReleaseVersion.size()))))
    , link_(new QLabel)
{
    setWindowTitle(QStringLiteral("About Tallyhawk"));
    auto* name = new QLabel(QStringLiteral("Tallyhawk"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    link_->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(homePage.toHtmlEscaped()));
    link_->setTextFormat(Qt::RichText);
    link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link_->setAccessibleName(QStringLiteral("Home page"));
    // The page opens through the program's own browser launcher, as every other page does.
    connect(link_, &QLabel::linkActivated, this, [openLink = std::move(openLink)] { openLink(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(version_);
    layout->addWidget(line);
    layout->addWidget(link_);
    layout->addWidget(buttons);
}

} // namespace tallyhawk
