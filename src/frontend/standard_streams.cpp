#include "frontend/standard_streams.hpp"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <iterator>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#else
#include <unistd.h>
#endif

#include "korvane/process.hpp"

namespace kvn::frontend {
namespace {

constexpr std::size_t kMostBytes = std::size_t{1} << 31;  // as for a file

// Windows would turn every CR LF of a design into LF on the way in, and
// every LF into CR LF on the way out.
void binary_mode([[maybe_unused]] const std::ios& stream) {
#ifdef _WIN32
  if (&stream == &std::cin) _setmode(_fileno(stdin), _O_BINARY);
  if (&stream == &std::cout) {
    std::cout.flush();
    _setmode(_fileno(stdout), _O_BINARY);
  }
#endif
}

// Nobody types a design: reading a terminal would only wait for ever.
bool typed_at_terminal(const std::istream& in) {
  if (&in != &std::cin) return false;
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(STDIN_FILENO) != 0;
#endif
}

constexpr char kHowToSend[] =
    "send a design to it, as in korvane --convert - --to shv -o out.shv < rose.dst";

}  // namespace

Result<std::vector<std::uint8_t>> StandardStreams::read_whole(const std::string& path) {
  if (path != kStandardInput) return real_.read_whole(path);
  if (read_) return *read_;
  if (typed_at_terminal(in_)) {
    read_ =
        make_error(ErrorCode::kCannotRead, path, std::string("it is the terminal; ") + kHowToSend);
    return *read_;
  }
  binary_mode(in_);
  std::vector<std::uint8_t> bytes;
  char chunk[65536];
  while (in_.read(chunk, sizeof chunk) || in_.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + in_.gcount());
    if (bytes.size() > kMostBytes) {
      read_ = make_error(ErrorCode::kCannotRead, path, "larger than 2 GiB");
      return *read_;
    }
  }
  if (in_.bad()) {
    read_ = make_error(ErrorCode::kCannotRead, path, std::strerror(errno));
  } else if (bytes.empty()) {
    // A design piped from a command that failed, or no pipe at all.
    read_ = make_error(ErrorCode::kCannotRead, path, std::string("nothing came in; ") + kHowToSend);
  } else {
    read_ = std::move(bytes);
  }
  return *read_;
}

Status StandardStreams::check_replaceable(const std::string& path, bool force) {
  if (path == kStandardOutput || !output_is_standard_) return real_.check_replaceable(path, force);
  // Told once: a container of forty designs needs no forty lines.
  if (more_told_) return Ok{};
  more_told_ = true;
  return more_than_one(path);
}

Status StandardStreams::more_than_one(const std::string& path) {
  (void)path;  // a name made from "-", which would only puzzle
  return make_error(ErrorCode::kBadArgument, kStandardOutput,
                    "-o - sends one file to standard output, and this run would write more; "
                    "use -O DIR to write them to a folder");
}

Status StandardStreams::replace(const std::string& path, std::span<const std::uint8_t> bytes,
                                bool force) {
  if (path != kStandardOutput) {
    if (output_is_standard_) return more_than_one(path);
    return real_.replace(path, bytes, force);
  }
  binary_mode(out_);
  out_.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return flush_output(out_, kStandardOutput);
}

Status StandardStreams::replace_streamed(const std::string& path, const convert::Producer& produce,
                                         const convert::ReadBackCheck& check, bool force) {
  // A file goes to disk as it is made: gathered here, a document of millions
  // of stitches would cost many times the design's memory. Standard output
  // cannot be taken back once written, so it is gathered and checked first.
  if (path != kStandardOutput && !output_is_standard_)
    return real_.replace_streamed(path, produce, check, force);
  return FileSystem::replace_streamed(path, produce, check, force);
}

convert::FileIdentity StandardStreams::identify(const std::string& path) {
  // Neither is a file on disk: nothing can be the same file as they are.
  if (path == kStandardInput || path == kStandardOutput) return {};
  return real_.identify(path);
}

}  // namespace kvn::frontend
