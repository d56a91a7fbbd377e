// Not compiled: input of the layering check's own test. Wrong: line 5.
#include "check/recording_check.h"
#include "core/option_reader.h"
#include <windows.h>
#include "core/tick_text.h"
