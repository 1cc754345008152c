#pragma once

#include "core/compare/agent_draft.h"

#include <QWidget>

#include <vector>

class QLineEdit;
class QSpinBox;

namespace tallyhawk
{

// Every element of an agent as an editable line, under its own name: SiteId, the search address, the
// marker pairs and StructuredData. An empty line leaves its element out. Each line is named
// "field<Element>" ("fieldStartItem") for whoever drives the form without a mouse.
class AgentFieldsForm : public QWidget
{
    Q_OBJECT

public:
    explicit AgentFieldsForm(QWidget* parent = nullptr);

    void SetDraft(const AgentDraft& draft);
    AgentDraft Draft() const;

signals:
    // A line or the SiteId was changed by the user.
    void Edited();

private:
    QSpinBox* siteId_;
    std::vector<QLineEdit*> lines_; // in WebAgentTextFields() order
    bool filling_ = false;
};

} // namespace tallyhawk
