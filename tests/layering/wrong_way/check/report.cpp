// Not compiled: input of the layering check's own test. Wrong: lines 5 and 6.
#include "check/recording_check.h"
#include "core/option_reader.h"
#include <windows.h>
#include "core/tick_text.h"
#include "export/exporter.h"
