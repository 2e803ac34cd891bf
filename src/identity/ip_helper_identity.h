// The choice of the one network adapter, through IP Helper, whose address and
// description begin the machine identity.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "identity/adapter_records.h"
#include "identity/identity_platform.h"

namespace stagewell::identity {

// The Ethernet row with the lowest selection key, the earlier of equals. Below
// major version 5 a row whose address starts with 0x44 does not count. None
// when no row qualifies.
std::optional<IfRow> ChooseIfTableRow(const IfTableBuffer& table, uint32_t majorVersion);

// GetAdaptersInfo: the sizing call, then the list. False when there is no list;
// an unexpected result code is shown first.
bool ReadAdapterList(IpHelperLibrary& ipHelper, DiagnosticSink& diagnostics, std::vector<AdapterRecord>& adapters);

// One pass over the Ethernet and wireless adapters: one with a lower key and a
// type no higher than the chosen one's takes its place, so a wireless adapter
// never displaces a chosen Ethernet one. Then the first adapter in the list with
// the chosen key, whatever its type. Null when no adapter counts.
const AdapterRecord* ChooseAdapter(const std::vector<AdapterRecord>& adapters);

}  // namespace stagewell::identity
