// Not compiled: input of the layering check's own test. Wrong: line 4.
#include <date/tz.h>

#include "check/recording_check.h"
#include "zone/zone_rules.h"
