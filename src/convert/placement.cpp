#include "convert/placement.hpp"


namespace kvn::convert {

Result<formats::Pattern> place_for_target(formats::Pattern p, const formats::Format&,
                                          const ConvertOptions&, std::vector<Adjustment>&) {
  return p;
}

}  // namespace kvn::convert
