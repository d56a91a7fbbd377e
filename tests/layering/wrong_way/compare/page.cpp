// Not compiled: input of the layering check's own test. Wrong: lines 6 and 7.
#include "report/page.h"
#include "recordings/line_reader.h"
#include "zone/zone_rules.h"
#include "core/option_reader.h"
#include "check/recording_check.h"
#include "export/exporter.h"
