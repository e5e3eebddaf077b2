// Zentarix — MIT licence.
// Machine faults inside guarded regions become exceptions; the process carries on.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "zx/fault.h"

namespace {

struct Fault {
  unsigned code;
  ULONG_PTR address;
};

void throw_fault(unsigned code, EXCEPTION_POINTERS* pointers) {
  throw Fault{code, pointers->ExceptionRecord->ExceptionInformation[1]};
}

// The sanitizers would report these deliberate faults before the processor traps; the point here
// is the trap itself.
__attribute__((noinline, no_sanitize("address", "undefined"))) void write_through(int* volatile* where, int rows) {
  for (int y = 0; y < rows; ++y) (*where)[y] = y;
}

__attribute__((noinline, no_sanitize("undefined"))) int divide_all(const int* divisors, int count) {
  int sum = 0;
  for (int i = 0; i < count; ++i) sum += 1000 / divisors[i];
  return sum;
}

class FaultTranslation : public ::testing::Test {
 protected:
  void SetUp() override { m_previous = _set_se_translator(throw_fault); }
  void TearDown() override { _set_se_translator(m_previous); }
  _se_translator_function m_previous = nullptr;
};

// Faults of both kinds, alternating, inside nested guards: each becomes its exception, the address of
// the bad write travels with it, nothing is written to the result and the guards unwind to zero depth.
TEST_F(FaultTranslation, FaultsInGuardedLoopsBecomeExceptionsTimeAfterTime) {
  int* volatile target = nullptr;
  const int divisors[] = {5, 4, 0, 2};
  std::vector<std::string> seen;
  for (int attempt = 0; attempt < 4; ++attempt) {
    int result = -1;
    try {
      zx::FaultGuard outer;
      zx::FaultGuard inner;
      if (attempt % 2) result = divide_all(divisors, 4);
      else write_through(&target, 4);
    } catch (const Fault& fault) {
      seen.push_back(std::to_string(fault.code == EXCEPTION_ACCESS_VIOLATION) +
                     std::to_string(fault.code == EXCEPTION_INT_DIVIDE_BY_ZERO) + " @" + std::to_string(fault.address) +
                     " " + std::to_string(result) + " " + std::to_string(ZxFaultGuardDepth()));
    }
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"10 @0 -1 0", "01 @0 -1 0", "10 @0 -1 0", "01 @0 -1 0"}));
  zx::FaultGuard guard;
  EXPECT_EQ(divide_all(divisors, 2), 200 + 250) << "the same loop without the bad divisor still works";
}

TEST_F(FaultTranslation, SetTranslatorReturnsThePreviousOne) {
  EXPECT_EQ(_set_se_translator(nullptr), &throw_fault);
  EXPECT_EQ(_set_se_translator(throw_fault), nullptr);
}

// Outside a guarded region the fault keeps its usual meaning: the process dies of the signal.
TEST(FaultTranslationDeathTest, FaultOutsideGuardStillKillsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        _set_se_translator(throw_fault);
        int* volatile target = nullptr;
        write_through(&target, 1);
      },
      ::testing::KilledBySignal(SIGSEGV), "");
}

TEST(FaultTranslationDeathTest, GuardedFaultWithoutTranslatorStillKillsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        _set_se_translator(throw_fault);
        _set_se_translator(nullptr);
        zx::FaultGuard guard;
        int* volatile target = nullptr;
        write_through(&target, 1);
      },
      ::testing::KilledBySignal(SIGSEGV), "");
}

}  // namespace
