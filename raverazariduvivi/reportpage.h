// The report's page: the page template of the build with the report's data
// in it as JSON, in UTF-8.
//
// The template holds one line "<!--REPORT-DATA-->"; it becomes
// <script id="report-data" type="application/json">, the JSON, </script>.
// In the JSON every "<", ">" and "&" is written as a \u escape, so that no
// name can end the script element or start markup.
//
// The JSON: {"version":1, "time", "data", "scope", "since" (strings, UTF-8),
// "users": [[name, kind]...] (kind 3 admin, 1 registered, 0 not registered,
// 2 the general viewer, in that order on the page's side), "libs": [names],
// "cabs": [[library index, name, state (+8 when new since the earlier
// report), [user index, access now, access before, ...], message]...],
// "gone": [[library, cabinet]...], "libfail": [[library, message]...]}.
// Access is 0 none, 1 W, 2 R, 3 RW; before is -1 where nothing is compared.
// A cabinet without access lists carries only the rows whose access
// changed; the page gives the others their implied access.
#pragma once

#include <string>

#include "reportmodel.h"

// Returns the page of the report.
std::string ReportPage(const Report& report);

// Returns the JSON of the report (the page's data).
std::string ReportJson(const Report& report);
