// Not compiled: input of the layering check's own test. Wrong: line 4.
#include "platform/win32.h"
#include <windows.h>
#include "core/protocol.h"
