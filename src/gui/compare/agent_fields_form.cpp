#include "gui/compare/agent_fields_form.h"

#include "gui/controls/record_text.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

namespace tallyhawk
{
namespace
{

// What each element does, for the line's tool tip.
QString Help(std::string_view element)
{
    if (element == "SiteType") {
        return QStringLiteral("The ids of the categories the agent serves, separated by commas.");
    }
    if (element == "SiteAddress") {
        return QStringLiteral("Put before every link of a result that is not a whole address.");
    }
    if (element == "FormatString") {
        return QStringLiteral(
            "The search address; \" KEYWORD \" (with its spaces) stands for the search text.");
    }
    if (element == "EndHeader") {
        return QStringLiteral("Results are read only after this text.");
    }
    if (element == "StructuredData") {
        return QStringLiteral(
            "\"schema.org\" reads the offers from the page's product data; the markers are then not used.");
    }
    return QStringLiteral("A marker: literal text, where * stands for any run of bytes.");
}

} // namespace

AgentFieldsForm::AgentFieldsForm(QWidget* parent)
    : QWidget(parent)
    , siteId_(new QSpinBox(this))
{
    auto* layout = new QFormLayout(this);
    layout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    siteId_->setRange(0, 2147483647);
    siteId_->setObjectName(QStringLiteral("fieldSiteId"));
    siteId_->setAccessibleName(QStringLiteral("SiteId"));
    layout->addRow(QStringLiteral("SiteId"), siteId_);
    connect(siteId_, &QSpinBox::valueChanged, this, [this] {
        if (!filling_) {
            emit Edited();
        }
    });
    for (const WebAgentTextField& field : WebAgentTextFields()) {
        const QString name
            = QString::fromLatin1(field.element.data(), static_cast<qsizetype>(field.element.size()));
        auto* line = new QLineEdit(this);
        line->setObjectName(QStringLiteral("field") + name);
        line->setAccessibleName(name);
        line->setToolTip(Help(field.element));
        line->setClearButtonEnabled(true);
        layout->addRow(name, line);
        lines_.push_back(line);
        connect(line, &QLineEdit::textChanged, this, [this] {
            if (!filling_) {
                emit Edited();
            }
        });
    }
}

void AgentFieldsForm::SetDraft(const AgentDraft& draft)
{
    filling_ = true;
    siteId_->setValue(draft.siteId);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        lines_[i]->setText(draft.texts[i] ? RecordText(*draft.texts[i]) : QString());
        lines_[i]->setCursorPosition(0);
    }
    filling_ = false;
}

AgentDraft AgentFieldsForm::Draft() const
{
    AgentDraft draft;
    draft.siteId = siteId_->value();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const QString text = lines_[i]->text();
        if (!text.isEmpty()) {
            const QByteArray bytes = text.toUtf8();
            draft.texts[i] = std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        }
    }
    return draft;
}

} // namespace tallyhawk
