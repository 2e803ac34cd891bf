// The disk part made from the WMI adapter list when no disk serial is to be had.
#pragma once

#include <string>
#include <vector>

#include "identity/identity_platform.h"

namespace stagewell::identity {

// Groups the identity ends with in that case.
extern const int g_nAdapterGroups;

// `groupCount` digests chosen from the parallel lists: the adapter whose MAC
// text equals `addressText` (byte for byte), then the longest description, then
// the others in order, then "0000" fillers. An empty `addressText` counts as one
// "0000" group.
std::string ChooseAdapterGroups(const std::string& addressText, const std::vector<std::string>& descriptions,
                                const std::vector<std::string>& macTexts, int groupCount);

// Appends the description and the MAC text (with the trailing colon of the
// address text; empty for a null address) of every adapter WMI lists, so both
// lists keep the same length. False, the lists untouched, when the query fails.
bool ListWmiAdapters(WmiQueries& wmi, std::vector<std::string>& descriptions, std::vector<std::string>& macTexts);

}  // namespace stagewell::identity
