#include "platform/unlha32/LhaMethod.h"

namespace corvane::lha {
namespace {

constexpr TMethod kMethods[] = {
    {"-lh0-", 0, 0, 0},   {"-lhd-", 0, 0, 0},   {"-lh4-", 12, 14, 4},
    {"-lh5-", 13, 14, 4}, {"-lh6-", 15, 16, 5}, {"-lh7-", 16, 17, 5},
};

}  // namespace

const TMethod* FindMethod(std::string_view name) {
  for (const auto& m : kMethods)
    if (name == m.name) return &m;
  return nullptr;
}

}  // namespace corvane::lha
