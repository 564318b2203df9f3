// What every file system shares: the words a failure is reported in.
#include "convert/file_io.hpp"
#include "convert/real_files.hpp"
#include "korvane/process.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace kvn::convert {
namespace {

// ---------------------------------------------------------------------------------------
// Win32 error codes in Linux's words. Numbers rather than the <windows.h> names so
// the table is also checked on Linux, against strerror itself.

struct Win32Words {
  std::uint32_t code;
  const char* words;
};

constexpr Win32Words kWin32Words[] = {
    {2, "No such file or directory"},   // ERROR_FILE_NOT_FOUND
    {3, "No such file or directory"},   // ERROR_PATH_NOT_FOUND
    {4, "Too many open files"},         // ERROR_TOO_MANY_OPEN_FILES
    {5, "Permission denied"},           // ERROR_ACCESS_DENIED
    {6, "Bad file descriptor"},         // ERROR_INVALID_HANDLE
    {8, "Cannot allocate memory"},      // ERROR_NOT_ENOUGH_MEMORY
    {14, "Cannot allocate memory"},     // ERROR_OUTOFMEMORY
    {15, "No such file or directory"},  // ERROR_INVALID_DRIVE
    {17, "Invalid cross-device link"},  // ERROR_NOT_SAME_DEVICE
    {19, "Read-only file system"},      // ERROR_WRITE_PROTECT
    {21, "No such device"},             // ERROR_NOT_READY
    {23, "Input/output error"},         // ERROR_CRC
    {29, "Input/output error"},         // ERROR_WRITE_FAULT
    {30, "Input/output error"},         // ERROR_READ_FAULT
    {32, "Device or resource busy"},    // ERROR_SHARING_VIOLATION
    {33, "Device or resource busy"},    // ERROR_LOCK_VIOLATION
    {39, "No space left on device"},    // ERROR_HANDLE_DISK_FULL
    {53, "No such file or directory"},  // ERROR_BAD_NETPATH
    {66, "No such device"},             // ERROR_BAD_DEV_TYPE
    {67, "No such file or directory"},  // ERROR_BAD_NET_NAME
    {80, "File exists"},                // ERROR_FILE_EXISTS
    {87, "Invalid argument"},           // ERROR_INVALID_PARAMETER
    {109, "Broken pipe"},               // ERROR_BROKEN_PIPE
    {112, "No space left on device"},   // ERROR_DISK_FULL
    // A name Windows cannot hold (a wildcard that matched nothing) names no
    // file, which is what Linux says of the same name.
    {123, "No such file or directory"},  // ERROR_INVALID_NAME
    {145, "Directory not empty"},        // ERROR_DIR_NOT_EMPTY
    {161, "No such file or directory"},  // ERROR_BAD_PATHNAME
    {183, "File exists"},                // ERROR_ALREADY_EXISTS
    {206, "File name too long"},         // ERROR_FILENAME_EXCED_RANGE
    {232, "Broken pipe"},                // ERROR_NO_DATA
    {267, "Not a directory"},            // ERROR_DIRECTORY
    {1117, "Input/output error"},        // ERROR_IO_DEVICE
    {1816, "Disk quota exceeded"},       // ERROR_NOT_ENOUGH_QUOTA
    {1920, "Permission denied"},         // ERROR_CANT_ACCESS_FILE
};

}  // namespace

namespace detail {

std::string reason(int err) {
  return err ? std::string(std::strerror(err)) : std::string("unknown error");
}

Error not_regular(const std::string& path, const char* what) {
  return make_error(ErrorCode::kNotRegularFile, path, what);
}

}  // namespace detail

std::string win32_error_words(std::uint32_t code) {
  for (const auto& w : kWin32Words)
    if (w.code == code) return w.words;
  return "Windows error " + std::to_string(code);
}

}  // namespace kvn::convert

namespace kvn {

Status flush_output(std::ostream& out, const std::string& name) {
  errno = 0;
  out.flush();
  int err = errno;
  bool failed = !out;
  // std::cout hands its bytes to stdio's stdout, where a failure may wait.
  if (&out == &std::cout && (std::fflush(stdout) != 0 || std::ferror(stdout))) {
    failed = true;
    if (!err) err = errno;
  }
  if (!failed) return Ok{};
  return make_error(ErrorCode::kCannotWrite, name,
                    err ? convert::detail::reason(err) : std::string("the write failed"));
}

}  // namespace kvn
