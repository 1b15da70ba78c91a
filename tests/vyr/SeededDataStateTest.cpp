// The guess of a piece of a log: what the piece read of it is checked
// against the real state, what it wrote itself is not, and its writes are
// laid over the real state.
#include <gtest/gtest.h>

#include <functional>

#include "SeededDataState.h"

namespace {
using vyr::detail::CSeededDataState;

struct GuessCase {
  const char* name;
  std::function<void(CVyrMemoryDataState&)> real;  // the real state, from the guess's values
  bool holds;
};

TEST(SeededDataState, GuessHoldsOnlyWhereWhatWasReadIsReal) {
  const GuessCase cases[] = {
      {"the same", [](CVyrMemoryDataState&) {}, true},
      {"a read value differs", [](CVyrMemoryDataState& s) { s.SetRealValue(1, 100.5, 0, 0, 0); }, false},
      {"a read value is an int", [](CVyrMemoryDataState& s) { s.SetIntValue(1, 100, 0, 0, 0); }, false},
      {"a value read as absent is there", [](CVyrMemoryDataState& s) { s.SetTextValue(2, "x", 3, 7, 0); }, false},
      {"a value read from a run differs", [](CVyrMemoryDataState& s) { s.ClearValue(1, 9, 0, 0); }, false},
      {"a run's value beside the piece's write differs", [](CVyrMemoryDataState& s) { s.SetRealValue(1, 3, 6, 0, 0); }, false},
      {"a run's value before the piece's write differs", [](CVyrMemoryDataState& s) { s.SetRealValue(1, 3, 4, 0, 0); }, false},
      {"only what the piece wrote differs", [](CVyrMemoryDataState& s) { s.SetRealValue(1, -1, 5, 0, 0); }, true},
      {"only what was not read differs", [](CVyrMemoryDataState& s) { s.SetRealValue(4, 1, 0, 0, 0); }, true},
  };
  for (const GuessCase& c : cases) {
    CVyrMemoryDataState guess;
    guess.SetRealValue(1, 100.0, 0, 0, 0);
    guess.SetRealValue(1, 9.0, 9, 0, 0);
    CVyrMemoryDataState real = guess;
    c.real(real);
    CSeededDataState seeded(guess);
    seeded.StartGuess();
    seeded.GetValue(1, 0, 0);
    seeded.SetRealValue(1, 42.0, 5, 0, 0);
    seeded.GetValue(1, 5, 0);  // its own write: not of the guess
    seeded.GetValue(2, 3, 7);
    VyrRetVal run[3];
    seeded.QueryRuns()->GetValueRun(1, 8, 3, 0, run);
    seeded.QueryRuns()->GetValueRun(1, 4, 3, 0, run);  // around its own write at 5
    EXPECT_EQ(seeded.GuessHolds(real), c.holds) << c.name;
  }
}

TEST(SeededDataState, LayOverWritesWhatThePieceWroteAndCleared) {
  CVyrMemoryDataState guess, real;
  real.SetRealValue(1, 7.0, 2, 0, 0);
  real.SetRealValue(1, 8.0, 3, 0, 0);
  CSeededDataState seeded(guess);
  seeded.StartGuess();
  const double levels[] = {-50.0, -60.0};
  const VyrValueRun runs[] = {{1, levels, nullptr, -55.0}};
  seeded.QueryRuns()->SetValueRuns(runs, 1, 2, 2, 0, 0);  // -60 is below the floor: cleared
  seeded.SetTextValue(6, "t", 0, 9, 0);
  seeded.LayOver(real);
  EXPECT_EQ(real.GetValue(1, 2, 0).m_value.d, -50.0);
  EXPECT_NE(real.GetValue(1, 3, 0).m_nStatus, VYR_RV_STATUS_OK);
  EXPECT_STREQ(real.GetValue(6, 0, 9).m_value.psz, "t");
}
}  // namespace
