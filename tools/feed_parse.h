// What the two companion tools (orvalda-feed, zentavor-probe) share, one file
// per job; no window system in any, so they build and are unit tested
// natively:
//   feed_file.h     a recording read for sending (prices to points, rows left out)
//   feed_stream.h   a recording's pace, and the synthetic quote stream
//   tool_options.h  the command lines
//   probe_line.h    the probe's log line
// The recording's row itself is core/row_format.h's.
#pragma once

#include "tools/feed_file.h"
#include "tools/feed_stream.h"
#include "tools/probe_line.h"
#include "tools/tool_options.h"
