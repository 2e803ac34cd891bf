// The run's rules on single values of the installation record.
#pragma once

#include <string>

#include "app/installation_record.h"
#include "app/run_platform.h"

namespace stagewell::app {

// The folder above the one that Project names: "C:\Prog\Ldg\" and "C:\Prog\Ldg"
// both give "C:\Prog"; "Ldg" gives "".
std::string ParentFolder(const std::string& project);

// A DatabaseInfo that names the local host ("." or "127.0.0.1" or "localhost"
// at its start) gets the computer name there instead.
std::string SubstituteLocalHost(const std::string& databaseInfo, ComputerName& computer);

// "%Y-%m-%d %H:%M:%S"
std::string FormatDate(const LocalTime& time);

std::string BuildVersionText(const VersionFields& fields);

bool EditionTooOld(const std::string& edition);

}  // namespace stagewell::app
