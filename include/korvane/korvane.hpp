// korvane's C++ interface for front ends: the same conversions as korvane.h,
// reporting every written file and every failure in plain words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvane/korvane.h"

namespace kvn {

struct Report {
  int result = 0;                     // what the C function returns
  std::vector<std::string> written;   // files written, in order
  std::vector<std::string> messages;  // one plain-words line per failure
};

/// korvane() on a container file, with file outputs only.
Report convert_container(const std::string& dhv_path, bool combine,
                         const std::string* shv_path = nullptr);

/// lumbrel() on a HUC design file, with a file output only.
Report convert_huc(const std::string& huc_path, const std::string* shv_path = nullptr);

}  // namespace kvn
