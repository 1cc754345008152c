#pragma once

#include <cstdint>
#include <string>

namespace tallyhawk
{

// One search category of the agent configuration.
struct AgentType
{
    std::int32_t typeId = 0; // <TypeId>, greater than 0
    std::string typeName; // <TypeName>, may be empty
};

} // namespace tallyhawk
