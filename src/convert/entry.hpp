#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/file_io.hpp"
#include "formats/error.hpp"
#include "korvane/korvane.hpp"
#include "korvane/types.h"

namespace kvn::convert {

class OutputWriter;

/// Copies of designs for a caller of the C interface, made with malloc() before
/// anything is written, so that running out of memory writes nothing. Freed
/// here unless given away.
class CallerMemory {
 public:
  CallerMemory() = default;
  CallerMemory(CallerMemory&& other) noexcept;
  CallerMemory& operator=(CallerMemory&& other) noexcept;
  ~CallerMemory();

  /// Adds a copy of `bytes`; false when memory runs out.
  bool add(std::span<const std::uint8_t> bytes);
  /// Makes room for a design list of `n` entries; false when memory runs out.
  bool make_list(std::size_t n);

  std::size_t size() const { return blocks_.size(); }
  std::span<const std::uint8_t> block(std::size_t i) const { return {blocks_[i], sizes_[i]}; }
  bool is_list() const { return list_ != nullptr; }

  /// Gives the first copy away; the caller frees it.
  std::uint8_t* release_block();
  /// Fills the list with the copies, in order, and gives it away; the caller
  /// frees it with korvane_free_design_list().
  pbcb_list_t* release_list();

 private:
  void free_all();
  std::vector<std::uint8_t*> blocks_;
  std::vector<std::uint32_t> sizes_;
  pbcb_list_t* list_ = nullptr;
};

/// What converting one input gave: the files written, in order, and when it
/// failed, why (files written before a failure stay, and the Error names
/// them). `memory` holds the designs asked for in memory, on success only.
struct InputResult {
  std::vector<std::string> written;
  std::vector<FileReport> reports;  // one per file of `written`
  std::optional<Error> error;
  CallerMemory memory;

  explicit operator bool() const { return !error.has_value(); }
};

/// A failed InputResult with nothing written.
InputResult failure(Error e);

/// An input: the bytes when the caller holds them, else the file `file`
/// names. `file` also names the outputs and the errors; without it errors
/// name "(memory)". `read` marks bytes that are the file's own, read already
/// by a plan: they are judged as that file.
struct Source {
  const char* file = nullptr;
  std::optional<std::span<const std::uint8_t>> bytes = std::nullopt;
  bool read = false;
};

/// Where the designs go: the file `file` names, the one design in memory
/// (`image`) and several designs in memory as a list (`list`, with `image`).
/// With no file and no memory the file is named after the input. `names`,
/// when given, are the output files a plan already named for this input.
struct Targets {
  const char* file = nullptr;
  bool image = false;
  bool list = false;
  const std::vector<std::string>* names = nullptr;
};

/// The designs of a DHV container as SHV files, each byte for byte, or in
/// memory. Every output is checked against the input before any is written;
/// memory is handed over only once the files are durable.
InputResult split(const Source& in, const Targets& to, OutputWriter& out);

/// The one SHV design of all the container's designs (a container of one
/// design is split).
InputResult combine(const Source& in, const Targets& to, OutputWriter& out);

/// The files split() or combine() writes for a container of `designs`
/// designs, in order; empty when everything goes to memory or no name can
/// be made.
std::vector<std::string> container_file_names(const char* input, const Targets& to, bool combine,
                                              std::size_t designs);

/// A HUC design image that may become an SHV design.
struct HucInput {
  std::vector<std::uint8_t> loaded;     // the file's bytes, when it was read
  std::span<const std::uint8_t> image;  // the whole image
  std::string source;                   // what errors name: the file or "(memory)"
  const char* file = nullptr;           // names the output and the design
};

/// Reads a HUC design image and checks it whole; refuses a file known to be
/// of another kind.
Result<HucInput> read_huc_input(const Source& in, FileSystem& fs);

/// The SHV design of `huc`. `protected_input`, when non-empty, names a file
/// the output must never replace (the container a combined design was made
/// from).
InputResult shv_from_huc(HucInput huc, const Targets& to, OutputWriter& out,
                         const std::string& protected_input = {});

}  // namespace kvn::convert
