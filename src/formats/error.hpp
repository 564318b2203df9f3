#pragma once

#include <cstdint>
#include <string>

#include "korvane/result.hpp"

// Forwards the error of a Result-returning expression to the caller.
#define KORVANE_TRY(var, expr)                      \
  auto var##_result_ = (expr);                      \
  if (!var##_result_) return var##_result_.error(); \
  auto& var = *var##_result_

// A check on one line: returns the error the arguments make when
// `cond` holds, and builds its words only then.
//   KORVANE_FAIL_IF(cond, code, file, detail...)     make_error(code, file, detail...)
//   KORVANE_FAIL_AT(cond, reader, offset, code, detail)   reader.error_at(offset, code, detail)
#define KORVANE_FAIL_IF(cond, ...)                   \
  do {                                               \
    if (cond) return ::kvn::make_error(__VA_ARGS__); \
  } while (false)
#define KORVANE_FAIL_AT(cond, reader, ...)           \
  do {                                               \
    if (cond) return (reader).error_at(__VA_ARGS__); \
  } while (false)

namespace kvn::formats {

// The tail of a "needs N bytes" message: "1 is there", "40 are there".
inline std::string bytes_there(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " is there" : " are there");
}

// A count as people read it: "21,504".
inline std::string grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

}  // namespace kvn::formats
