// The disk part from the WMI adapter list, for when no disk serial is to be had.
#include "identity/adapter_groups.h"
#include "identity/machine_identity.h"

namespace stagewell::identity {

bool CMachineIdentity::ListWmiAdapters(std::vector<std::string>& descriptions, std::vector<std::string>& macTexts) {
  std::vector<WmiAdapter> adapters;
  if (!m_platform.Wmi().ListNetworkAdapters(adapters)) return false;
  for (const WmiAdapter& adapter : adapters) {
    descriptions.push_back(adapter.description);
    // The trailing colon gives the form of the address text.
    macTexts.push_back(adapter.macAddress ? *adapter.macAddress + ":" : std::string());
  }
  return true;
}

bool CMachineIdentity::AppendWmiAdapterGroups() {
  if (m_nMajorVersion < 5) return true;
  std::vector<std::string> descriptions;
  std::vector<std::string> macTexts;
  ListWmiAdapters(descriptions, macTexts);  // after a failure both stay empty
  m_strIdentity += ChooseAdapterGroups(m_strAddressText, descriptions, macTexts, g_nAdapterGroups);
  return true;
}

}  // namespace stagewell::identity
