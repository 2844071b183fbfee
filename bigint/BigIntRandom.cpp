// The process-wide clock-seeded generator.
#include "bigint/BigIntRandom.h"

#include <chrono>

#include "bigint/BigInt.h"

namespace corvane {

namespace {

std::atomic<TimeOfDayClock> activeClock{nullptr};

}  // namespace

uint32_t MillisecondsOfDay(std::chrono::sys_time<std::chrono::milliseconds> time) {
  const auto sinceMidnight = time - std::chrono::floor<std::chrono::days>(time);
  return static_cast<uint32_t>(sinceMidnight.count());
}

uint32_t SystemTimeOfDayMilliseconds() {
  return MillisecondsOfDay(
      std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now()));
}

TimeOfDayClock SetRandomClock(TimeOfDayClock clock) {
  return activeClock.exchange(clock);
}

int32_t RandomSource::Below(int32_t bound) {
  if (bound <= 0) throw EBigIntError("RandomBelow: the bound must be positive");
  Step();
  return static_cast<int32_t>((uint64_t{State()} * static_cast<uint64_t>(bound)) >> 32);
}

void RandomSource::ReseedFromClock() {
  const TimeOfDayClock clock = activeClock.load();
  SetState(clock ? clock() : SystemTimeOfDayMilliseconds());
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
