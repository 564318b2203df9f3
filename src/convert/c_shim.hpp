#pragma once

#include <cstdint>

#include "convert/file_io.hpp"

namespace kvn::convert {

/// korvane() and lumbrel() on the file system `fs`: the whole behaviour of the
/// C functions, which run these on the real one. Never throw; the last error
/// is set as the C functions set it.
int korvane_on(FileSystem& fs, const char* pFileShv, std::uint8_t** pshv, std::int32_t* sshv,
               const char* pFileDhv, const std::uint8_t* pdhv, std::int32_t sdhv,
               std::int32_t lParamIn, void** lpParamOut) noexcept;
int lumbrel_on(FileSystem& fs, const char* pFileShv, std::uint8_t** pshv, std::int32_t* sshv,
               const char* pFileHuc, const std::uint8_t* phuc, std::int32_t shuc) noexcept;

}  // namespace kvn::convert
