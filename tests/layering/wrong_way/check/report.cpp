// Not compiled: input of the layering check's own test. Wrong: lines 5, 6 and 8.
#include "check/recording_check.h"
#include "core/option_reader.h"
#include <windows.h>
#include "core/tick_text.h"
#include "export/exporter.h"
#include "report/svg.h"
#include "compare/page.h"
