// The rules of adding rows to a file, over the in-memory raw file: where a
// run begins, a cut last row taken off, rows landing at the end whoever else
// adds to the file, and a failed write cut back only when that is safe.
#include <gtest/gtest.h>

#include "core/recording_file.h"
#include "platform/memory_backend.h"

namespace orv {
namespace {

struct Case {
  const char* name;
  std::string before;           // the file before this run; "-": not there
  std::string otherWriterAdds;  // bytes another program adds before the second row
  std::size_t failAfterBytes;   // the disk's room
  std::string after;            // the file after rows "r1" and "r2"
  std::string cutTail;
  bool secondRowWritten;
  bool systemHidesPartialWrites = false;
};

TEST(RecordingFilePart, AddsWholeRowsAtTheEndAndCutsBackOnlyWhatIsItsOwn) {
  const Case cases[] = {
      {"new file", "-", "", SIZE_MAX, "r1\r\nr2\r\n", "", true},
      {"whole rows kept", "A\r\n", "", SIZE_MAX, "A\r\nr1\r\nr2\r\n", "", true},
      {"cut row taken off", "A\r\nB,1", "", SIZE_MAX, "A\r\nr1\r\nr2\r\n", "B,1", true},
      {"another writer's row lands between", "", "W\r\n", SIZE_MAX, "r1\r\nW\r\nr2\r\n", "", true},
      {"a part-written row is cut back", "A\r\n", "", 9, "A\r\nr1\r\n", "", false},
      {"another writer's row stays", "", "W\r\n", 9, "r1\r\nW\r\n", "", false},
      {"a part-written row the system does not report", "A\r\n", "", 9, "A\r\nr1\r\n", "", false, true},
      {"nor then another writer's", "", "W\r\n", 8, "r1\r\nW\r\n", "", false, true},
      {"another writer's cut row stays", "", "W,1", 9, "r1\r\nW,1", "", false},
      {"and, unreported, this one's bytes behind it", "", "W,1", 9, "r1\r\nW,1r2", "", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryBackend be;
    const std::string path = "C:\\t\\a.csv";
    if (c.before != "-") {
      be.disk[path] = std::make_shared<MemoryFile>();
      be.disk[path]->data = c.before;
    }
    std::string cutTail, error;
    std::unique_ptr<RecordingFile> file = RecordingFile::addTo(be, path, cutTail, error);
    ASSERT_NE(file, nullptr) << error;
    be.disk[path]->failAfterBytes = c.failAfterBytes;
    be.disk[path]->hidesPartialWrites = c.systemHidesPartialWrites;
    EXPECT_TRUE(file->appendRow("r1", error)) << error;
    be.disk[path]->otherWriterAdds = c.otherWriterAdds;
    EXPECT_EQ(file->appendRow("r2", error), c.secondRowWritten);
    EXPECT_EQ(be.disk[path]->data, c.after);
    EXPECT_EQ(cutTail, c.cutTail);
  }
}

// Another writer's row lands before any one call on the file: while this
// run adds to the file, writes a row and fails part way through the next,
// and cuts that back. Every row stays whole, this run's cut row goes, and
// nothing of the other writer's row goes with it.
TEST(RecordingFilePart, ACutBackNeverTakesAnotherWritersRowWhereverItLands) {
  for (const bool hidden : {false, true})
    for (int at = 0;; ++at) {
      SCOPED_TRACE(testing::Message() << "before call " << at << (hidden ? ", partial count hidden" : ""));
      MemoryBackend be;
      const std::string path = "C:\\a.csv";
      be.disk[path] = std::make_shared<MemoryFile>();
      MemoryFile& disk = *be.disk[path];
      disk.data = "A\r\nB,";
      disk.otherWriterAdds = "W\r\n";
      disk.otherWriterAtCall = at;
      disk.failAfterBytes = 3 + 4 + 3 + 5;  // the row after r1 fits in part, whenever W lands
      disk.hidesPartialWrites = hidden;
      std::string cutTail, error;
      std::unique_ptr<RecordingFile> file = RecordingFile::addTo(be, path, cutTail, error);
      ASSERT_NE(file, nullptr) << error;
      EXPECT_TRUE(file->appendRow("r1", error)) << error;
      EXPECT_FALSE(file->appendRow("r2-long-row", error));
      file.reset();
      if (!disk.otherWriterAdds.empty()) break;  // past the last call
      const std::string before = "A\r\nW\r\nr1\r\n", between = "A\r\nr1\r\nW\r\n";
      EXPECT_TRUE(disk.data == before || disk.data == between) << testing::PrintToString(disk.data);
      EXPECT_EQ(cutTail, "B,");
    }
}

TEST(RecordingFilePart, AFileWithNoLineEndIsRefusedUntouched) {
  for (const std::string held : {"Pair,Time,Bid,Ask", "xyz"}) {
    MemoryBackend be;
    be.disk["C:\\a.csv"] = std::make_shared<MemoryFile>();
    be.disk["C:\\a.csv"]->data = held;
    std::string cutTail, error;
    EXPECT_EQ(RecordingFile::addTo(be, "C:\\a.csv", cutTail, error), nullptr);
    EXPECT_EQ(error, "it holds no line end in its " + std::to_string(held.size()) +
                         " bytes, so it is no recording Orvalda can add to; it is left as it is");
    EXPECT_EQ(be.disk["C:\\a.csv"]->data, held);
  }
}

TEST(RecordingFilePart, CreateEmptiesAndAFailedOpenSaysWhy) {
  MemoryBackend be;
  be.disk["C:\\a.csv"] = std::make_shared<MemoryFile>();
  be.disk["C:\\a.csv"]->data = "old\r\n";
  std::string error;
  ASSERT_NE(RecordingFile::create(be, "C:\\a.csv", error), nullptr);
  EXPECT_EQ(be.disk["C:\\a.csv"]->data, "");
  be.nextOpenErrors["C:\\a.csv"] = "Access is denied";
  std::string cutTail;
  EXPECT_EQ(RecordingFile::addTo(be, "C:\\a.csv", cutTail, error), nullptr);
  EXPECT_EQ(error, "Access is denied");
  EXPECT_NE(RecordingFile::addTo(be, "C:\\a.csv", cutTail, error), nullptr);  // the next open works
}

}  // namespace
}  // namespace orv
