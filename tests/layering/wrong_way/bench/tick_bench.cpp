// Not compiled: input of the layering check's own test. Wrong: line 4.
#include "bench/tick_feed.h"
#include "core/feed_hub.h"
#include "tests/unit/feed_hub_peer.h"
