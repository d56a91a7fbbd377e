// Not compiled: input of the layering check's own test. Wrong: line 2.
#include "check/recording_check.h"
#include "recordings/line_reader.h"
#include "zone/zone_rules.h"
