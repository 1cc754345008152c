// Any bytes as an agent configuration file: Load must agree with the plain algorithm (blocks cut with
// substring searches, elements read with ElementText), and every agent's search address for a fixed
// text must be built or refused within its length limit, also after the configuration is destroyed.
#include "core/compare/agent_configuration.h"
#include "support/agent_config_reference.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

using tallyhawk::AgentConfiguration;
using tallyhawk::WebAgent;

// Made once per process; removed with its file at exit.
char gFolder[128];

std::string InputPath()
{
    return std::string(gFolder) + "/webspider.xml";
}

void RemoveFolder()
{
    std::remove(InputPath().c_str());
    ::rmdir(gFolder);
}

void MakeFolder()
{
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::snprintf(
            gFolder, sizeof gFolder, "%s/fuzz_agent_config.%d.XXXXXX", base, static_cast<int>(::getpid()));
        if (::mkdtemp(gFolder) != nullptr) {
            std::atexit(RemoveFolder);
            return;
        }
    }
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (gFolder[0] == '\0') {
        MakeFolder();
    }
    std::string text(reinterpret_cast<const char*>(data), size);
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
        std::abort();
    }
    std::fclose(file);

    auto config = std::make_unique<AgentConfiguration>();
    std::int32_t status = config->Load(InputPath());
    if (!tallyhawk::test::SameAsReference(*config, status, tallyhawk::test::ReferenceLoad(text))) {
        std::abort();
    }
    // The agents are used after their configuration is gone, as a search worker may: their texts
    // must still be there.
    std::vector<std::shared_ptr<WebAgent>> agents = config->agents();
    config.reset();
    for (const auto& agent : agents) {
        std::string url;
        std::int32_t built = agent->BuildSearchUrl("red shoes & socks", url);
        bool refused = built == tallyhawk::kNoKeywordMarker || built == tallyhawk::kUnusableSearchText;
        if ((built == 0 && (url.empty() || url.size() > WebAgent::kMaxUrlLength))
            || (built != 0 && !refused)) {
            std::abort();
        }
        agent->ServesCategory(3);
    }
    return 0;
}
