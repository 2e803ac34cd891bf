#include "identity/adapter_groups.h"

#include <algorithm>

#include "identity/identity_text.h"

namespace stagewell::identity {

const int g_nAdapterGroups = 1;

std::string ChooseAdapterGroups(const std::string& addressText, const std::vector<std::string>& descriptions,
                                const std::vector<std::string>& macTexts, int groupCount) {
  constexpr size_t kNone = static_cast<size_t>(-1);
  const size_t count = descriptions.size();
  std::string groups;
  int appended = 0;
  auto append = [&](const std::string& description) {
    groups += DescriptionDigest(description);
    ++appended;
  };

  size_t matched = kNone;
  if (addressText.empty()) {
    append(std::string());
  } else {
    const size_t pairs = std::min(count, macTexts.size());
    for (size_t i = 0; i < pairs; ++i) {
      if (macTexts[i] == addressText) {
        matched = i;
        append(descriptions[i]);
        break;
      }
    }
  }

  size_t longest = kNone;
  size_t bestLength = 0;
  for (size_t i = 0; i < count; ++i) {
    if (i != matched && descriptions[i].size() > bestLength) {
      longest = i;
      bestLength = descriptions[i].size();
    }
  }
  if (longest != kNone && appended < groupCount) append(descriptions[longest]);

  for (size_t i = 0; i < count && appended < groupCount; ++i) {
    if (i != matched && i != longest) append(descriptions[i]);
  }
  while (appended < groupCount) append(std::string());
  return groups;
}

bool ListWmiAdapters(WmiQueries& wmi, std::vector<std::string>& descriptions, std::vector<std::string>& macTexts) {
  std::vector<WmiAdapter> adapters;
  if (!wmi.ListNetworkAdapters(adapters)) return false;
  for (const WmiAdapter& adapter : adapters) {
    descriptions.push_back(adapter.description);
    macTexts.push_back(adapter.macAddress ? *adapter.macAddress + ":" : std::string());
  }
  return true;
}

}  // namespace stagewell::identity
