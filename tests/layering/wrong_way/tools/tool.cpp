// Not compiled: input of the layering check's own test. Wrong: line 4.
#include "core/protocol.h"
#include "tools/feed_parse.h"
#include <core/feed_hub.h>
