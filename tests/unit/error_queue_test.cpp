// Errors wait for the message loop and are shown one box at a time.
#include <gtest/gtest.h>

#include "platform/error_queue.h"

namespace orv {
namespace {

TEST(ErrorQueue, OneBoxAtATimeRepeatsCountedInOrder) {
  ErrorQueue q;
  EXPECT_TRUE(q.add("Disk full."));    // the caller posts itself a message
  EXPECT_FALSE(q.add("Disk full."));   // already waiting: counted
  EXPECT_FALSE(q.add("Folder gone."));
  EXPECT_EQ(q.open(), "Disk full. (2 times)");
  // While the box is open, nothing else opens, and nothing more is posted.
  EXPECT_EQ(q.open(), std::nullopt);
  EXPECT_FALSE(q.add("Disk full."));
  EXPECT_FALSE(q.add("Folder gone."));
  q.closed();
  EXPECT_EQ(q.open(), "Folder gone. (2 times)");
  q.closed();
  EXPECT_EQ(q.open(), "Disk full.");
  q.closed();
  EXPECT_EQ(q.open(), std::nullopt);
  EXPECT_TRUE(q.empty());
  EXPECT_TRUE(q.add("Again."));        // idle again: post once more
}

}  // namespace
}  // namespace orv
