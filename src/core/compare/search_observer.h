#pragma once

#include "core/compare/web_agent.h"

#include <cstdint>

namespace tallyhawk
{

// Receives the reports of a search run, one at a time and in the order the run made them, on whichever
// thread made the report. A report is never made while the run's lock is held, so an implementation
// may call back into the WebSpider (StopAll, the results); a window queues the report onto its own
// thread instead of waiting for it.
class SearchObserver
{
public:
    virtual ~SearchObserver() = default;

    virtual void AgentStarted(const WebAgent& agent) = 0;
    // `count`: the offers this agent added to the run's results, which already hold them.
    virtual void AgentDone(const WebAgent& agent, std::int32_t count) = 0;
    virtual void AgentFailed(const WebAgent& agent, std::int32_t status) = 0;
    // Every started agent has reported (or the run was stopped): `total` offers in the results.
    virtual void SearchDone(std::int32_t total) = 0;
};

} // namespace tallyhawk
