// Not compiled: input of the layering check's own test. Wrong: lines 5, 6.
#include <commctrl.h>
#include "core/feed_hub.h"
#include "platform/win32_backend.h"
#include "app/resources.h"
#include "platform/memory_backend.h"
