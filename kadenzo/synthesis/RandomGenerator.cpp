#include "RandomGenerator.h"

#include <chrono>

std::int64_t RandomGenerator::SystemSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}
