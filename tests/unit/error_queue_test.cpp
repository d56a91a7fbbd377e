// Errors wait for the message loop and are shown one box at a time; errors
// of one kind are one box, and few boxes ever wait.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/error_queue.h"

namespace orv {

void PrintTo(ErrorQueue::Added a, std::ostream* out) {
  *out << (a == ErrorQueue::Added::First ? "First" : a == ErrorQueue::Added::Waiting ? "Waiting" : "OnScreen");
}

namespace {

using Added = ErrorQueue::Added;

// One step on a queue: '+' adds `text` and expects `added`; 'o' opens the
// next box and expects `text` (nullptr: none opens); 'c' closes the box;
// 's' expects the box on screen to show `text`.
struct Step {
  char op;
  const char* text;
  Added added = Added::Waiting;
};

void run(ErrorQueue& q, std::initializer_list<Step> steps) {
  int n = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE("step " + std::to_string(n++) + " " + s.op + " " + (s.text != nullptr ? s.text : "(none)"));
    switch (s.op) {
      case '+': EXPECT_EQ(q.add(s.text), s.added); break;
      case 'o': EXPECT_EQ(q.open(), s.text == nullptr ? std::nullopt : std::optional<std::string>(s.text)); break;
      case 'c': q.closed(); break;
      case 's': EXPECT_EQ(q.onScreenText(), s.text); break;
    }
  }
}

TEST(ErrorQueue, OneBoxAtATimeOneBoxAKindRepeatsCountedInOrder) {
  ErrorQueue q;
  run(q, {{'+', "Disk full.", Added::First},  // the caller posts itself a message
          {'+', "Disk full."},                // already waiting: counted
          {'+', "Folder gone."},
          {'o', "Disk full. (2 times)"},
          // While the box is open, nothing else opens, and nothing more is
          // posted; a repeat of it counts into it.
          {'o', nullptr},
          {'+', "Disk full.", Added::OnScreen},
          {'s', "Disk full. (3 times)"},
          {'+', "Folder gone."},
          {'c', nullptr},
          {'o', "Folder gone. (2 times)"},
          {'c', nullptr},
          {'o', nullptr},
          {'+', "Again.", Added::First}});  // idle again: post once more
  EXPECT_FALSE(q.empty());

  // Texts that differ only in their numbers are one kind: the latest text, the total.
  ErrorQueue kinds;
  run(kinds, {{'+', "Recording to D:\\t\\EURUSD-20261206.csv stopped: 3 of 12 rows lost", Added::First},
              {'+', "Recording to D:\\t\\EURUSD-20261207.csv stopped: 12 of 7 rows lost"},
              {'+', "Recording to D:\\t\\GBPUSD-20261207.csv stopped: 1 of 2 rows lost"},
              {'+', "Recording to D:\\t\\EURUSD-2026120.csv stopped: 4 of 5 rows lost"},
              {'o', "Recording to D:\\t\\EURUSD-2026120.csv stopped: 4 of 5 rows lost (3 times)"},
              {'+', "Recording to D:\\t\\EURUSD-1.csv stopped: 0 of 0 rows lost", Added::OnScreen},
              {'s', "Recording to D:\\t\\EURUSD-1.csv stopped: 0 of 0 rows lost (4 times)"},
              {'c', nullptr},
              {'o', "Recording to D:\\t\\GBPUSD-20261207.csv stopped: 1 of 2 rows lost"},
              {'c', nullptr},
              {'o', nullptr}});
}

TEST(ErrorQueue, TwentyThousandDistinctErrorsWaitInAFewBoxes) {
  ErrorQueue q;
  const auto text = [](int i) {  // letters, not digits, tell them apart
    std::string name;
    for (int k = i + 1; k > 0; k /= 26) name += static_cast<char>('a' + k % 26);
    return "Cannot record to D:\\" + name + ".csv: 112 The disk is full";
  };
  constexpr int kErrors = 20000;
  for (int i = 0; i < kErrors; ++i) q.add(text(i));
  EXPECT_EQ(q.waiting(), ErrorQueue::kMostWaiting);
  for (std::size_t i = 0; i + 1 < ErrorQueue::kMostWaiting; ++i) {
    EXPECT_EQ(q.open(), text(static_cast<int>(i)));
    q.closed();
  }
  const std::size_t last = kErrors - (ErrorQueue::kMostWaiting - 1);
  EXPECT_EQ(q.open(), text(kErrors - 1) + " (the last of " + std::to_string(last) + " errors)");
  // More errors of the same mix, while it is on screen, are boxes of their own.
  EXPECT_EQ(q.add(text(kErrors - 1)), Added::Waiting);
  q.closed();
  EXPECT_EQ(q.open(), text(kErrors - 1));
  q.closed();
  EXPECT_TRUE(q.empty());
}

}  // namespace
TEST(ErrorQueue, ASystemTextShowsNoRawInserts) {
  const std::pair<const char*, const char*> cases[] = {
      {"Bad EXE format for %1", "Bad EXE format for a.log"},
      {"%1 is not a valid application for %2!s!", "a.log is not a valid application for a.log"},
      {"100%% done%nnext%t%12x", "100% done next a.logx"},
      {"ends in %", "ends in %"},
      {"%1!unclosed", "a.log!unclosed"},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(withInsertsFilled(text, "a.log"), want) << text;
}

}  // namespace orv
