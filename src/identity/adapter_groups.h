// The disk part made from the WMI adapter list when no disk serial is to be had.
#pragma once

#include <string>
#include <vector>

namespace stagewell::identity {

// Groups the identity ends with in that case.
extern const int g_nAdapterGroups;

// `groupCount` digests chosen from the parallel lists: the adapter whose MAC
// text equals `addressText` (byte for byte), then the longest description, then
// the others in order, then "0000" fillers. An empty `addressText` counts as one
// "0000" group.
std::string ChooseAdapterGroups(const std::string& addressText, const std::vector<std::string>& descriptions,
                                const std::vector<std::string>& macTexts, int groupCount);

}  // namespace stagewell::identity
