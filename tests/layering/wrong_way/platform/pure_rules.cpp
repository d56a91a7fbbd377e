// Not compiled: input of the layering check's own test. Wrong: lines 4, 5, 6.
#include "platform/backend.h"
#include <string>
#include "core/feed_hub.h"
#include <windows.h>
#include "platform/win32.h"
