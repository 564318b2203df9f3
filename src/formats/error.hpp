#pragma once

#include <cstdint>
#include <string>

#include "korvane/result.hpp"

// Forwards the error of a Result-returning expression to the caller.
#define KORVANE_TRY(var, expr)                      \
  auto var##_result_ = (expr);                      \
  if (!var##_result_) return var##_result_.error(); \
  auto& var = *var##_result_

namespace kvn::formats {

// The tail of a "needs N bytes" message: "1 is there", "40 are there".
inline std::string bytes_there(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " is there" : " are there");
}

}  // namespace kvn::formats
