// Not compiled: input of the layering check's own test. Wrong: lines 2 and 3.
#include "export/exporter.h"
#include "check/recording_check.h"
#include "recordings/row_source.h"
#include "zone/zone_rules.h"
