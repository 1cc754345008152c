#pragma once

#include <string>
#include <vector>

namespace tallyhawk::test
{

// Store result pages and the agent configuration that reads them, for tests of the price comparison
// against the test HTTP server.

struct PageOffer
{
    std::string name;
    std::string link;
    std::string price;
};

// A page with a header, then one <li> block per offer: <b>name</b>, <a href="link">, <i>price</i>.
std::string ResultPage(const std::vector<PageOffer>& offers);

// "<AgentType>" with its id and name.
std::string CategoryXml(int typeId, const std::string& typeName);

// An agent that reads ResultPage pages: its search address is `searchPrefix` followed by " KEYWORD ",
// its relative links are joined to `siteAddress`.
std::string AgentXml(int siteId,
                     const std::string& siteType,
                     const std::string& siteName,
                     const std::string& searchPrefix,
                     const std::string& siteAddress);

// A whole configuration: the categories, then the agents.
std::string ConfigurationXml(const std::vector<std::string>& categories,
                             const std::vector<std::string>& agents);

} // namespace tallyhawk::test
