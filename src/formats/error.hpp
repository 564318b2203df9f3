#pragma once

#include "korvane/result.hpp"

// Forwards the error of a Result-returning expression to the caller.
#define KORVANE_TRY(var, expr)                      \
  auto var##_result_ = (expr);                      \
  if (!var##_result_) return var##_result_.error(); \
  auto& var = *var##_result_
