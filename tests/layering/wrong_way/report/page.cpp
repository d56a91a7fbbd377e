// Not compiled: input of the layering check's own test. Wrong: lines 5 and 6.
#include "report/texts.h"
#include "recordings/files.h"
#include "core/row_format.h"
#include "check/reports.h"
#include "zone/zone_rules.h"
