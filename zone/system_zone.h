// The system's time-zone data, behind ZoneRules (zone_rules.h): one source
// file per system.
//   system_zone_tzdb.cpp     the tz database the system keeps (/usr/share/zoneinfo),
//                            read through the date library's tz part
//   system_zone_windows.cpp  Windows' own zones (the registry's dynamic
//                            daylight-saving data, GetTimeZoneInformationForYear):
//                            every IANA name maps to a Windows zone
//                            (windows_names.inc, made by make_windows_names.py
//                            from data Debian ships); Windows zone names are
//                            accepted as well
// Nothing is downloaded at run time.
#pragma once

#include <string>

#include "zone/zone_rules.h"

namespace orv::zone {

// The system's rules for an IANA name (or, on Windows, a Windows zone name),
// or null with a one-line reason in error.
Zone systemZone(const std::string& name, std::string& error);

}  // namespace orv::zone
