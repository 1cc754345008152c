#include "support/compare_site.h"

namespace tallyhawk::test
{

std::string ResultPage(const std::vector<PageOffer>& offers)
{
    std::string page = "<html><head><title>Results</title></head><body>\n<li>an ad before the results</li>\n"
                       "<ul id=\"r\">\n";
    for (const PageOffer& offer : offers) {
        page += "<li class=\"offer\"><b>" + offer.name + "</b> <a href=\"" + offer.link + "\">view</a> <i>"
            + offer.price + "</i></li>\n";
    }
    return page + "</ul></body></html>\n";
}

std::string CategoryXml(int typeId, const std::string& typeName)
{
    return "<AgentType><TypeId>" + std::to_string(typeId) + "</TypeId><TypeName>" + typeName
        + "</TypeName></AgentType>\n";
}

std::string AgentXml(int siteId,
                     const std::string& siteType,
                     const std::string& siteName,
                     const std::string& searchPrefix,
                     const std::string& siteAddress)
{
    return "<WebAgent><SiteId>" + std::to_string(siteId) + "</SiteId><SiteType>" + siteType
        + "</SiteType><SiteName>" + siteName + "</SiteName><SiteAddress>" + siteAddress
        + "</SiteAddress><FormatString>" + searchPrefix
        + " KEYWORD </FormatString><EndHeader><ul id=\"r\"></EndHeader><StartResult><li*></StartResult>"
          "<EndResult></li></EndResult><StartItem><b></StartItem><EndItem></b></EndItem>"
          "<StartURL><a href=\"</StartURL><EndURL>\"></EndURL><StartPrice><i></StartPrice>"
          "<EndPrice></i></EndPrice></WebAgent>\n";
}

std::string ConfigurationXml(const std::vector<std::string>& categories,
                             const std::vector<std::string>& agents)
{
    std::string text = "<WebSpider>\n";
    for (const std::string& category : categories) {
        text += category;
    }
    for (const std::string& agent : agents) {
        text += agent;
    }
    return text + "</WebSpider>\n";
}

} // namespace tallyhawk::test
