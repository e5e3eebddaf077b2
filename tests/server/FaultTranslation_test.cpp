// Zentarix — MIT licence.
// Machine faults inside guarded regions become exceptions; the process carries on.
#include <gtest/gtest.h>

#include <csignal>
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

TEST_F(FaultTranslation, NullWriteInGuardedLoopBecomesAccessViolationThreeTimesInARow) {
  int* volatile target = nullptr;
  for (int attempt = 0; attempt < 3; ++attempt) {
    SCOPED_TRACE(attempt);
    unsigned code = 0;
    ULONG_PTR address = 1;
    try {
      zx::FaultGuard guard;
      write_through(&target, 4);
    } catch (const Fault& fault) {
      code = fault.code;
      address = fault.address;
    }
    EXPECT_EQ(code, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(address, 0u);
    EXPECT_EQ(ZxFaultGuardDepth(), 0);
  }
}

TEST_F(FaultTranslation, IntegerDivisionByZeroInGuardedLoopBecomesDivideByZeroThreeTimesInARow) {
  const int divisors[] = {5, 4, 0, 2};
  for (int attempt = 0; attempt < 3; ++attempt) {
    SCOPED_TRACE(attempt);
    unsigned code = 0;
    int result = -1;
    try {
      zx::FaultGuard guard;
      result = divide_all(divisors, 4);
    } catch (const Fault& fault) {
      code = fault.code;
    }
    EXPECT_EQ(code, EXCEPTION_INT_DIVIDE_BY_ZERO);
    EXPECT_EQ(result, -1);
  }
  // The same loop without the bad divisor still works afterwards.
  zx::FaultGuard guard;
  EXPECT_EQ(divide_all(divisors, 2), 200 + 250);
}

TEST_F(FaultTranslation, FaultsAlternateAndGuardsUnwindToZeroDepth) {
  int* volatile target = nullptr;
  const int divisors[] = {0};
  std::vector<unsigned> codes;
  for (int attempt = 0; attempt < 3; ++attempt) {
    try {
      zx::FaultGuard outer;
      zx::FaultGuard inner;
      if (attempt % 2) divide_all(divisors, 1);
      else write_through(&target, 1);
    } catch (const Fault& fault) {
      codes.push_back(fault.code);
    }
  }
  EXPECT_EQ(codes, (std::vector<unsigned>{EXCEPTION_ACCESS_VIOLATION, EXCEPTION_INT_DIVIDE_BY_ZERO,
                                          EXCEPTION_ACCESS_VIOLATION}));
  EXPECT_EQ(ZxFaultGuardDepth(), 0);
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
