#pragma once
// RandomSource: the process-wide, clock-seeded pseudo-random generator (a 32-bit linear congruential
// generator). It chooses Miller-Rabin bases; key material comes from the system CSPRNG instead
// (common/SystemRandom.h).
//
//   reseed: state := ((hour * 60 + minute) * 60 + second) * 1000 + millisecond, UTC time of day
//   step:   state := state * 134775813 + 1 (mod 2^32)
//   draw:   step, then the high 32 bits of the 64-bit product state * bound
//
// Users take turns (the wizard's UI thread, or its one worker during key generation); the state is an
// atomic word so that such hand-overs are well defined, but a draw is not one atomic step.

#include <atomic>
#include <chrono>
#include <cstdint>

namespace corvane {

class RandomSource {
 public:
  static constexpr uint32_t kMultiplier = 134775813;  // 0x08088405

  uint32_t State() const { return state_.load(std::memory_order_relaxed); }
  void SetState(uint32_t state) { state_.store(state, std::memory_order_relaxed); }
  void Step() { SetState(State() * kMultiplier + 1); }
  // A value in 0..bound-1 for 0 < bound < 2^31 (EBigIntError otherwise).
  int32_t Below(int32_t bound);
  // Sets the state from the UTC time of day in milliseconds (0..86,399,999) the clock reports.
  void ReseedFromClock();

 private:
  std::atomic<uint32_t> state_{0};
};

// The one generator of the process.
RandomSource& TheRandomSource();

// Shorthands on the process-wide generator.
void RandomReseedFromClock();
int32_t RandomBelow(int32_t bound);

// The clock the generator reseeds from: UTC milliseconds since midnight. Tests substitute a fixed clock;
// passing nullptr restores the system clock. Returns the previous clock (nullptr for the system clock).
using TimeOfDayClock = uint32_t (*)();
TimeOfDayClock SetRandomClock(TimeOfDayClock clock);
uint32_t SystemTimeOfDayMilliseconds();
// ((hour * 60 + minute) * 60 + second) * 1000 + millisecond of the UTC time of day of `time`.
uint32_t MillisecondsOfDay(std::chrono::sys_time<std::chrono::milliseconds> time);

}  // namespace corvane
