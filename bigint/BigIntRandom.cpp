// The process-wide clock-seeded generator.
#include "bigint/BigIntRandom.h"

#include <chrono>

#include "bigint/BigInt.h"

namespace corvane {

namespace {

TimeOfDayClock activeClock = nullptr;

}  // namespace

uint32_t SystemTimeOfDayMilliseconds() {
  using namespace std::chrono;
  const auto now = time_point_cast<milliseconds>(system_clock::now());
  const auto sinceMidnight = now - floor<days>(now);
  return static_cast<uint32_t>(sinceMidnight.count());
}

TimeOfDayClock SetRandomClock(TimeOfDayClock clock) {
  const TimeOfDayClock previous = activeClock;
  activeClock = clock;
  return previous;
}

int32_t RandomSource::Below(int32_t bound) {
  if (bound <= 0) throw EBigIntError("RandomBelow: the bound must be positive");
  Step();
  return static_cast<int32_t>((uint64_t{state_} * static_cast<uint64_t>(bound)) >> 32);
}

void RandomSource::ReseedFromClock() {
  state_ = activeClock ? activeClock() : SystemTimeOfDayMilliseconds();
}

RandomSource& TheRandomSource() {
  static RandomSource source;
  return source;
}

void RandomReseedFromClock() {
  TheRandomSource().ReseedFromClock();
}

int32_t RandomBelow(int32_t bound) {
  return TheRandomSource().Below(bound);
}

}  // namespace corvane
