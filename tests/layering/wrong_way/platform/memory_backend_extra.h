// Not compiled: input of the layering check's own test. Wrong: line 3.
#include "platform/toolkit.h"
#include "platform/win32_backend.h"
