#include "gui/app/folder_pane.h"

#include "gui/app/view_tree.h"
#include "gui/controls/system_colors.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tallyhawk
{
namespace
{

QString ButtonText(FolderKind folder, int unread)
{
    // QPushButton reads a single & as a mnemonic marker; the name has a literal one.
    QString text = FolderName(folder);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return unread > 0 ? QStringLiteral("%1 (%2)").arg(text).arg(unread) : text;
}

} // namespace

FolderPane::FolderPane(QWidget* parent)
    : QWidget(parent)
    , caption_(new QLabel(this))
    , tree_(new ViewTree(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);
    caption_->setAccessibleName(QStringLiteral("Folder"));
    layout->addWidget(caption_);

    for (FolderKind folder : {FolderKind::TodaysSummary,
                              FolderKind::CouponsAndDeals,
                              FolderKind::CashBackStores,
                              FolderKind::ShoppingList,
                              FolderKind::PurchaseHistory,
                              FolderKind::PriceComparisons,
                              FolderKind::ForumTopics}) {
        auto* button = new QPushButton(ButtonText(folder, 0), this);
        button->setFont(bold);
        button->setCheckable(true);
        button->setAutoExclusive(true);
        button->setAccessibleName(FolderName(folder));
        connect(button, &QPushButton::clicked, this, [this, folder] { emit folderChosen(folder); });
        connect(button, &QPushButton::toggled, this, [this, button] { MarkChosen(button); });
        layout->addWidget(button);
        buttons_[folder] = button;
    }

    layout->addWidget(tree_, 1);
}

void FolderPane::MarkChosen(QPushButton* button)
{
    // A pressed look alone all but vanishes on dark palettes; the open folder's button takes the
    // highlight colour.
    button->setPalette(button->isChecked() ? SystemColors::Chosen(palette()) : QPalette());
}

void FolderPane::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        for (const auto& entry : buttons_) {
            MarkChosen(entry.second);
        }
    }
}

void FolderPane::SetCaption(const QString& text)
{
    caption_->setText(text);
}

QString FolderPane::caption() const
{
    return caption_->text();
}

int FolderPane::ButtonsWidth() const
{
    int width = caption_->sizeHint().width();
    for (const auto& entry : buttons_) {
        width = std::max(width, entry.second->sizeHint().width());
    }
    return width;
}

void FolderPane::SetUnread(FolderKind folder, int count)
{
    if (QPushButton* shown = button(folder)) {
        shown->setText(ButtonText(folder, count));
        shown->setAccessibleDescription(count > 0 ? QStringLiteral("%1 unread").arg(count) : QString());
    }
}

QPushButton* FolderPane::button(FolderKind folder) const
{
    auto found = buttons_.find(folder);
    return found == buttons_.end() ? nullptr : found->second;
}

} // namespace tallyhawk
