// Not compiled: input of the layering check's own test. Wrong: lines 5, 6.
#include "ui/main_window.h"
#include "core/feed_hub.h"
#include "platform/win32.h"
#include "tests/e2e/e2e.h"
#include "local.h"
