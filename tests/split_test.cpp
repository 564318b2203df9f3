#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "convert/invocation.hpp"
#include "convert/output_plan.hpp"
#include "formats/container.hpp"
#include "inspect/png_encode.hpp"
#include "korvane/korvane.h"
#include "support/builders.hpp"
#include "support/c_calls.hpp"
#include "support/design_builders.hpp"
#include "support/fake_file_system.hpp"
#include "support/sample_designs.hpp"
#include "support/temp_dir.hpp"

namespace kvn::convert {
namespace {

using test::Bytes;
using test::DhvBuilder;
using test::FakeFileSystem;

const Bytes kA = test::opaque_design(40, 1);
const Bytes kB = test::opaque_design(25, 2);
const Bytes kC = test::opaque_design(1, 3);

Bytes one_design() { return DhvBuilder{}.add(kA, 5, -5).bytes(); }
Bytes two_designs() { return DhvBuilder{}.add(kA).add(kB, -1, 1).bytes(); }

struct Outputs {
  int result = 0;
  std::uint8_t* shv = reinterpret_cast<std::uint8_t*>(1);  // untouched unless written
  std::int32_t sshv = -7;
  void* list = reinterpret_cast<void*>(1);
};

// Releases what korvane() hands out, as a caller must.
void release(Outputs& o, bool shv_out, bool list_out) {
  if (shv_out && o.shv != reinterpret_cast<std::uint8_t*>(1)) std::free(o.shv);
  if (list_out && o.list != reinterpret_cast<void*>(1)) {
    auto* l = static_cast<pbcb_list_t*>(o.list);
    for (std::uint32_t i = 0; i < l->count; ++i) std::free(l->entry[i].pb);
    std::free(l);
  }
}

struct RowCase {
  const char* name;
  bool several;
  const char* pFileShv;
  bool pshv;
  bool list;
  std::vector<std::string> files;
  bool image_out;  // pshv receives the single design
  bool list_out;   // lpParamOut receives the design list
};

const RowCase kRows[] = {
    {"OneDerived", false, nullptr, false, true, {"in/garden.shv"}, false, false},
    {"OneNamed", false, "out/x", false, false, {"out/x"}, false, false},
    {"OneMemory", false, nullptr, true, true, {}, true, false},
    {"OneNamedAndMemory", false, "out/x.shv", true, false, {"out/x.shv"}, true, false},
    {"SeveralDerived",
     true,
     nullptr,
     false,
     true,
     {"in/garden001.shv", "in/garden002.shv"},
     false,
     false},
    {"SeveralNamed", true, "out.shv", false, false, {"out001.shv", "out002.shv"}, false, false},
    {"SeveralList", true, nullptr, true, true, {}, false, true},
    {"SeveralNamedAndList", true, "o.shv", true, true, {"o001.shv", "o002.shv"}, false, true},
    {"SeveralNamedMemoryNoList",
     true,
     "o.shv",
     true,
     false,
     {"o001.shv", "o002.shv"},
     false,
     false},
};

TEST(Split, DeliversWhatEachCombinationOfOutputsAsksFor) {
  for (const auto& row : kRows) {
    for (std::int32_t mode : {0, 2, 1}) {
      // Bit 0 changes nothing for one design; other bits never do.
      if (row.several && mode == 1) continue;
      SCOPED_TRACE(std::string(row.name) + " lParamIn " + std::to_string(mode));
      FakeFileSystem fs;
      const Bytes dhv = row.several ? two_designs() : one_design();
      fs.files["in/garden.dhv"] = dhv;
      Outputs o;
      test::KorvaneArgs call{row.pFileShv,
                             row.pshv ? &o.shv : nullptr,
                             row.pshv ? &o.sshv : nullptr,
                             "in/garden.dhv",
                             nullptr,
                             0,
                             mode,
                             row.list ? &o.list : nullptr};
      test::Seen diag;
      EXPECT_EQ(test::korvane_seen(call, fs, diag), 0);
      std::vector<std::string> names;
      for (const auto& [name, bytes] : fs.files)
        if (name != "in/garden.dhv") names.push_back(name);
      EXPECT_EQ(names, row.files);
      for (std::size_t i = 0; i < row.files.size(); ++i)
        EXPECT_EQ(fs.files[row.files[i]], (i == 0 ? kA : kB));
      if (row.image_out) {
        ASSERT_EQ(o.sshv, static_cast<std::int32_t>(kA.size()));
        EXPECT_EQ(Bytes(o.shv, o.shv + o.sshv), kA);
      } else if (row.list_out) {
        EXPECT_EQ(o.shv, nullptr);
        EXPECT_EQ(o.sshv, 0);
      } else {
        EXPECT_EQ(o.shv, reinterpret_cast<std::uint8_t*>(1));
        EXPECT_EQ(o.sshv, -7);
      }
      if (row.list_out) {
        auto* l = static_cast<pbcb_list_t*>(o.list);
        ASSERT_EQ(l->count, 2u);
        EXPECT_EQ(Bytes(l->entry[0].pb, l->entry[0].pb + l->entry[0].cb), kA);
        EXPECT_EQ(Bytes(l->entry[1].pb, l->entry[1].pb + l->entry[1].cb), kB);
      } else {
        EXPECT_EQ(o.list, reinterpret_cast<void*>(1));
      }
      release(o, row.image_out, row.list_out);
    }
  }
}

TEST(Split, MemoryInputGivesTheSameFilesAsTheFileAndStaysTheCallers) {
  const Bytes dhv = DhvBuilder{}.add(kA).add(kB).add(kC).trailing({9, 9}).bytes();
  FakeFileSystem from_file;
  from_file.files["g.dhv"] = dhv;
  test::Seen diag;
  EXPECT_EQ(test::korvane_seen({nullptr, nullptr, nullptr, "g.dhv", nullptr, 0, 0, nullptr},
                               from_file, diag),
            0);
  FakeFileSystem from_memory;
  const Bytes copy = dhv;
  EXPECT_EQ(test::korvane_seen({nullptr, nullptr, nullptr, "g.dhv", copy.data(),
                                static_cast<std::int32_t>(copy.size()), 0, nullptr},
                               from_memory, diag),
            0);
  from_file.files.erase("g.dhv");
  EXPECT_EQ(from_file.files, from_memory.files);
  Bytes last_with_trailing = kC;
  last_with_trailing.insert(last_with_trailing.end(), {9, 9});
  EXPECT_EQ(from_memory.files["g003.shv"], last_with_trailing);
  EXPECT_EQ(copy, dhv);
}

struct BadContainer {
  const char* name;
  Bytes bytes;
  ErrorCode code;
};

Bytes patched(Bytes b, std::size_t at, std::uint32_t v) {
  test::put_u32(b, at, v);
  return b;
}

std::vector<BadContainer> bad_containers() {
  const DhvBuilder two = DhvBuilder{}.add(kA).add(kB);
  const Bytes good = two.bytes();
  return {
      {"Empty", {}, ErrorCode::kTruncated},
      {"NameBeyondEnd",
       [] {
         Bytes b(87, 0);
         b[86] = 20;
         return b;
       }(),
       ErrorCode::kTruncated},
      {"ZeroDesigns", DhvBuilder{}.bytes(), ErrorCode::kNoDesigns},
      {"TableBeyondEnd", patched(good, 87 + 6 + 6, 1000), ErrorCode::kTableBeyondEnd},
      {"FirstDesignInsideTable", patched(good, two.table_entry(0), 100),
       ErrorCode::kDesignInsideHead},
      {"DesignBeyondEnd",
       patched(good, two.table_entry(1), static_cast<std::uint32_t>(good.size() - 6)),
       ErrorCode::kDesignBeyondEnd},
      {"OffsetsDecrease", patched(good, two.table_entry(1), 115), ErrorCode::kOffsetsNotRising},
      // Designs must hold their own layout whole before anything is split.
      {"EmptyDesign", DhvBuilder{}.add(kA).add({}).add(kB).bytes(), ErrorCode::kDesignTruncated},
      {"CutInsideName",
       [] {
         Bytes b(kA.begin(), kA.begin() + 87);
         b.back() = 20;  // a name of 20 bytes, 3 of them there
         b.insert(b.end(), {'r', 'o', 's'});
         return DhvBuilder{}.add(b).bytes();
       }(),
       ErrorCode::kDesignTruncated},
      {"CutInsidePreview", DhvBuilder{}.add(test::shv_image("", {3, 4, 0, 0, 0, 0}, 5)).bytes(),
       ErrorCode::kDesignTruncated},
      {"LastCutInsideStitches",
       [] {
         Bytes cut = kA;
         cut[kA.size() - 40 - 1] = 21;  // shvhdr_t::Stitches: 42 bytes, where 40 follow
         return DhvBuilder{}.add(kB).add(cut).bytes();
       }(),
       ErrorCode::kDesignTruncated},
  };
}

TEST(Split, RefusesMalformedContainersAndWritesNothing) {
  for (const auto& c : bad_containers()) {
    SCOPED_TRACE(c.name);
    FakeFileSystem fs;
    fs.files["t.dhv"] = c.bytes;
    test::Seen diag;
    EXPECT_EQ(
        test::korvane_seen({nullptr, nullptr, nullptr, "t.dhv", nullptr, 0, 0, nullptr}, fs, diag),
        -1);
    EXPECT_EQ(fs.files.size(), 1u);
    ASSERT_NE(diag.code, ErrorCode::kOk);
    EXPECT_EQ(diag.code, c.code);
    EXPECT_EQ(diag.message.rfind("t.dhv: byte ", 0), 0u) << diag.message;
  }
}

TEST(Split, ACutShortDesignIsNamedWithWhatIsMissing) {
  Bytes cut = kA;
  cut[kA.size() - 40 - 1] = 100;  // 100 stitch words where the 40 trailing bytes hold 20
  FakeFileSystem fs;
  fs.files["g.dhv"] = DhvBuilder{}.add(kB).add(kC).add(cut).bytes();
  test::Seen diag;
  EXPECT_EQ(
      test::korvane_seen({nullptr, nullptr, nullptr, "g.dhv", nullptr, 0, 0, nullptr}, fs, diag),
      -1);
  EXPECT_EQ(fs.files.size(), 1u);
  ASSERT_NE(diag.code, ErrorCode::kOk);
  EXPECT_NE(diag.message.find(
                ": a design is cut short: design 3: its stitches need 200 bytes, 40 are there"),
            std::string::npos)
      << diag.message;
}

TEST(Split, DesignBeyondEndMessageSaysWhereAndHowBig) {
  const DhvBuilder three = DhvBuilder{}.add(kA).add(kB).add(kC);
  const Bytes b = patched(three.bytes(), three.table_entry(2), 81234);
  const formats::ByteReader in(b, "garden.dhv");
  auto r = formats::read_container(in);
  ASSERT_FALSE(r);
  EXPECT_NE(r.error().message().find("design 3 begins at byte 81234, beyond the end of the file (" +
                                     std::to_string(b.size()) + " bytes)"),
            std::string::npos)
      << r.error().message();
}

TEST(Split, AFullDiskKeepsEarlierFilesAndFails) {
  FakeFileSystem fs;
  fs.files["g.dhv"] = DhvBuilder{}.add(kA).add(kB).add(kC).bytes();
  fs.fail_writes_after = 1;
  test::Seen diag;
  EXPECT_EQ(
      test::korvane_seen({nullptr, nullptr, nullptr, "g.dhv", nullptr, 0, 0, nullptr}, fs, diag),
      -1);
  EXPECT_EQ(fs.files.size(), 2u);
  EXPECT_EQ(fs.files["g001.shv"], kA);
  ASSERT_NE(diag.code, ErrorCode::kOk);
  EXPECT_EQ(diag.message,
            "g002.shv: cannot write the file: No space left on device; already written: g001.shv");

  // One design that cannot be written fails too, and hands nothing out.
  FakeFileSystem full;
  full.files["g.dhv"] = one_design();
  full.fail_writes_after = 0;
  std::uint8_t* shv = nullptr;
  std::int32_t sshv = -1;
  EXPECT_EQ(test::korvane_seen({"x.shv", &shv, &sshv, "g.dhv", nullptr, 0, 0, nullptr}, full, diag),
            -1);
  EXPECT_EQ(shv, nullptr);
  EXPECT_EQ(sshv, -1);
}

// A call that fails or is refused hands nothing out and leaves nothing to
// free: the sanitizer build checks the second half.
TEST(Split, FailureHandsNothingOutAndLeaksNothing) {
  struct Case {
    const char* name;
    Bytes dhv;
    const char* pFileShv;
    bool pshv, list, from_memory;
    std::int32_t lParamIn;
    int fail_writes_after;
    ErrorCode code;
    std::vector<std::string> written;
  };
  const Bytes three = DhvBuilder{}.add(kA).add(kB).add(kC).bytes();
  const Bytes drawable =
      DhvBuilder{}.add(test::rose_shv()).add(test::one_stitch_shv(0, 10, 0)).bytes();
  const Case cases[] = {
      {"ListAndFilesDiskFillsOnTheSecond",
       three,
       "o.shv",
       true,
       true,
       false,
       0,
       1,
       ErrorCode::kCannotWrite,
       {"o001.shv"}},
      {"ImageAndFileDiskFull",
       one_design(),
       "o.shv",
       true,
       false,
       false,
       0,
       0,
       ErrorCode::kCannotWrite,
       {}},
      {"CombinedImageAndFileDiskFull",
       drawable,
       "o.shv",
       true,
       false,
       false,
       KORVANE_COMBINE,
       0,
       ErrorCode::kCannotWrite,
       {}},
      {"SeveralToMemoryWithoutAList",
       two_designs(),
       nullptr,
       true,
       false,
       false,
       0,
       -1,
       ErrorCode::kBadArgument,
       {}},
      {"EmptyOutputName",
       two_designs(),
       "",
       true,
       true,
       false,
       0,
       -1,
       ErrorCode::kEmptyOutputName,
       {}},
      {"EmptyOutputNameCombined",
       two_designs(),
       "",
       false,
       false,
       false,
       KORVANE_COMBINE,
       -1,
       ErrorCode::kEmptyOutputName,
       {}},
      // The bytes come from memory, yet the name still belongs to the container.
      {"MemoryContainerNamedAsOutput",
       one_design(),
       "g.dhv",
       true,
       false,
       true,
       0,
       -1,
       ErrorCode::kWouldOverwriteInput,
       {}},
      {"MemoryContainerNamedAsOutputCombined",
       drawable,
       "g.dhv",
       true,
       false,
       true,
       KORVANE_COMBINE,
       -1,
       ErrorCode::kWouldOverwriteInput,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem fs;
    fs.files["g.dhv"] = c.dhv;
    fs.fail_writes_after = c.fail_writes_after;
    Outputs o;
    test::KorvaneArgs call{c.pFileShv,
                           c.pshv ? &o.shv : nullptr,
                           c.pshv ? &o.sshv : nullptr,
                           "g.dhv",
                           c.from_memory ? c.dhv.data() : nullptr,
                           static_cast<std::int32_t>(c.dhv.size()),
                           c.lParamIn,
                           c.list ? &o.list : nullptr};
    test::Seen diag;
    EXPECT_EQ(test::korvane_seen(call, fs, diag), -1);
    ASSERT_NE(diag.code, ErrorCode::kOk);
    EXPECT_EQ(diag.code, c.code) << diag.message;
    EXPECT_EQ(diag.written, c.written);
    EXPECT_EQ(fs.files.size(), 1 + c.written.size());
    EXPECT_EQ(fs.files["g.dhv"], c.dhv);
    EXPECT_EQ(o.shv, reinterpret_cast<std::uint8_t*>(1));
    EXPECT_EQ(o.sshv, -7);
    EXPECT_EQ(o.list, reinterpret_cast<void*>(1));
  }
}

TEST(Split, ARunIsMadeDurableOnceAndBeforeMemoryIsHandedOut) {
  FakeFileSystem fs;
  fs.files["g.dhv"] = DhvBuilder{}.add(kA).add(kB).add(kC).bytes();
  Outputs o;
  test::Seen diag;
  ASSERT_EQ(
      test::korvane_seen({"o.shv", &o.shv, &o.sshv, "g.dhv", nullptr, 0, 0, &o.list}, fs, diag), 0);
  EXPECT_EQ(fs.syncs, 1);
  EXPECT_EQ(diag.written, (std::vector<std::string>{"o001.shv", "o002.shv", "o003.shv"}));
  release(o, false, true);
  // Nothing written, nothing to make durable.
  FakeFileSystem memory_only;
  const Bytes dhv = one_design();
  Outputs m;
  ASSERT_EQ(test::korvane_seen({nullptr, &m.shv, &m.sshv, nullptr, dhv.data(),
                                static_cast<std::int32_t>(dhv.size()), 0, nullptr},
                               memory_only, diag),
            0);
  EXPECT_EQ(memory_only.syncs, 0);
  release(m, true, false);
}

TEST(Split, ThePublicCallRefusesSeveralDesignsToMemoryWithoutAList) {
  const Bytes dhv = two_designs();
  std::uint8_t* shv = reinterpret_cast<std::uint8_t*>(1);
  std::int32_t sshv = -7;
  EXPECT_EQ(korvane(nullptr, &shv, &sshv, nullptr, dhv.data(),
                    static_cast<std::int32_t>(dhv.size()), 0, nullptr),
            -1);
  EXPECT_EQ(shv, reinterpret_cast<std::uint8_t*>(1));
  EXPECT_EQ(sshv, -7);
  EXPECT_NE(std::string(korvane_last_error()).find("a design list (lpParamOut) must be asked for"),
            std::string::npos)
      << korvane_last_error();
}

TEST(OutputPlan, RefusesEachOffendingOutputOnce) {
  FakeFileSystem fs;
  fs.files["in/g.dhv"] = two_designs();
  fs.files["h.dhv"] = two_designs();
  const std::vector<std::string> inputs = {"in/g.dhv", "h.dhv"};
  struct Case {
    std::vector<PlannedOutput> outputs;
    std::vector<ErrorCode> refused;
    std::string says;  // in the first refusal's message
  };
  const Case cases[] = {
      {{{"in/g001.shv", "in/g.dhv"}, {"h001.shv", "h.dhv"}}, {}, ""},
      {{{"h.dhv", "in/g.dhv"}},
       {ErrorCode::kWouldOverwriteInput},
       "it is the input h.dhv, and the output of in/g.dhv would replace it"},
      {{{"in/./g.dhv", "h.dhv"}}, {ErrorCode::kWouldOverwriteInput}, "the output of h.dhv"},
      {{{"./h.dhv", "h.dhv"}}, {ErrorCode::kWouldOverwriteInput}, "it would be its own output"},
      {{{"x.shv", "in/g.dhv"}, {"out//x.shv", "h.dhv"}, {"./x.shv", "h.dhv"}},
       {ErrorCode::kDuplicateOutput},
       ""},
      {{{"", "in/g.dhv"}, {"a.shv", "h.dhv"}, {"a.shv", "h.dhv"}},
       {ErrorCode::kEmptyOutputName, ErrorCode::kDuplicateOutput},
       ""},
  };
  for (const auto& c : cases) {
    std::vector<ErrorCode> refused;
    const auto refusals = check_outputs(c.outputs, inputs, fs);
    for (const auto& e : refusals) refused.push_back(e.code);
    EXPECT_EQ(refused, c.refused) << c.outputs[0].name;
    if (!c.says.empty() && !refusals.empty()) {
      EXPECT_NE(refusals[0].message().find(c.says), std::string::npos) << refusals[0].message();
    }
  }
}

TEST(OutputPlan, ARunOfSeveralInputsIsPlannedWholeAndMadeDurableOnce) {
  FakeFileSystem fs;
  fs.files["a.dhv"] = two_designs();
  fs.files["bad.dhv"] = {1, 2, 3};
  fs.files["b.dhv"] = one_design();
  const std::vector<std::string> inputs = {"a.dhv", "bad.dhv", "b.dhv"};
  auto plan = plan_invocation(Conversion::kSplit, inputs, nullptr, fs);
  ASSERT_TRUE(plan.refusals.empty());
  OutputWriter out(fs);
  std::vector<bool> results;
  for (auto& in : plan.inputs)
    results.push_back(static_cast<bool>(convert_input(Conversion::kSplit, std::move(in), out)));
  EXPECT_EQ(results, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(fs.syncs, 0);
  ASSERT_TRUE(out.finish());
  EXPECT_EQ(fs.syncs, 1);
  EXPECT_EQ(fs.files.size(), 6u);
  // A file that is an input of the run may not be another input's output,
  // even when it is malformed itself.
  fs.files["a001.shv"] = {9};
  const auto refusals =
      plan_invocation(Conversion::kSplit, {"a.dhv", "a001.shv"}, nullptr, fs).refusals;
  ASSERT_EQ(refusals.size(), 1u);
  EXPECT_EQ(refusals[0].code, ErrorCode::kWouldOverwriteInput);
  EXPECT_EQ(refusals[0].file, "a001.shv");
}

// The plan reads each input once and its conversion works from those bytes,
// whether it succeeds or reports why it cannot.
TEST(OutputPlan, ARunReadsEachInputOnce) {
  const Bytes huc = test::HucBuilder{}.extents(40, 40, -10, -10).colour(3, test::rec(5, 5)).bytes();
  const Bytes drawn = DhvBuilder{}.add(test::rose_shv()).add(test::rose_shv(), 10, 10).bytes();
  struct Case {
    const char* name;
    Conversion what;
    const char* input;
    Bytes bytes;
    const char* to;
    bool converts;
  };
  const Case cases[] = {
      {"Split", Conversion::kSplit, "a.dhv", two_designs(), "", true},
      {"Combine", Conversion::kCombine, "a.dhv", drawn, "", true},
      {"Huc", Conversion::kHuc, "a.huc", huc, "", true},
      {"Convert", Conversion::kConvert, "a.dhv", two_designs(), "dst", true},
      {"ConvertHucIntoShv", Conversion::kConvert, "a.huc", huc, "shv", true},
      {"Preview", Conversion::kPreview, "a.dhv", two_designs(), "", inspect::png_supported()},
      {"Malformed", Conversion::kSplit, "bad.dhv", {1, 2, 3}, "", false},
      {"MalformedConvert", Conversion::kConvert, "bad.dhv", {1, 2, 3}, "dst", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem fs;
    fs.files[c.input] = c.bytes;
    ConvertOptions options;
    options.to = c.to;
    auto plan = plan_invocation(c.what, {c.input}, nullptr, fs, options);
    ASSERT_TRUE(plan.refusals.empty());
    OutputWriter out(fs);
    const auto r = convert_input(c.what, std::move(plan.inputs.front()), out, options);
    EXPECT_EQ(static_cast<bool>(r), c.converts) << (r.error ? r.error->message() : "");
    EXPECT_EQ(r.written.empty(), !c.converts);
    EXPECT_EQ(fs.reads, 1);
  }
}

TEST(Split, NeverOverwritesTheContainer) {
  for (const auto& [input, out] :
       {std::pair{"garden.shv", "garden.shv"}, std::pair{"garden", "garden"}}) {
    SCOPED_TRACE(input);
    FakeFileSystem fs;
    fs.files[input] = one_design();
    test::Seen diag;
    const bool named = std::string(input) == "garden";
    EXPECT_EQ(
        test::korvane_seen({named ? out : nullptr, nullptr, nullptr, input, nullptr, 0, 0, nullptr},
                           fs, diag),
        -1);
    EXPECT_EQ(fs.files.size(), 1u);
    EXPECT_EQ(fs.files[input], one_design());
    ASSERT_NE(diag.code, ErrorCode::kOk);
    EXPECT_EQ(diag.code, ErrorCode::kWouldOverwriteInput);
  }
}

TEST(Split, MemoryInputWithoutAnyNameFails) {
  FakeFileSystem fs;
  const Bytes dhv = one_design();
  test::Seen diag;
  EXPECT_EQ(test::korvane_seen({nullptr, nullptr, nullptr, nullptr, dhv.data(),
                                static_cast<std::int32_t>(dhv.size()), 0, nullptr},
                               fs, diag),
            -1);
  EXPECT_TRUE(fs.files.empty());
}

TEST(SplitOnDisk, RefusesTheSameFileUnderAnotherSpelling) {
  test::ScopedTempDir dir;
  test::write_bytes(dir.file("garden.shv"), one_design());
  test::Seen diag;
  const std::string other = (dir.path() / "." / "garden.shv").string();
  const std::string in = dir.file("garden.shv");
  EXPECT_EQ(
      test::korvane_seen({other.c_str(), nullptr, nullptr, in.c_str(), nullptr, 0, 0, nullptr},
                         real_file_system(), diag),
      -1);
  EXPECT_EQ(test::read_bytes(in), one_design());
}

TEST(SplitOnDisk, ADirectoryInTheWayIsRefusedBeforeAnythingIsWritten) {
  test::ScopedTempDir dir;
  test::write_bytes(dir.file("g.dhv"), two_designs());
  std::filesystem::create_directory(dir.path() / "g002.shv");
  test::Seen diag;
  const std::string in = dir.file("g.dhv");
  EXPECT_EQ(test::korvane_seen({nullptr, nullptr, nullptr, in.c_str(), nullptr, 0, 0, nullptr},
                               real_file_system(), diag),
            -1);
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"g.dhv"}));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "g002.shv"));
  ASSERT_NE(diag.code, ErrorCode::kOk);
  EXPECT_EQ(diag.code, ErrorCode::kNotRegularFile);
}

TEST(SplitOnDisk, AThousandDesignsGetFourDigitNumbersAtTheEnd) {
  test::ScopedTempDir dir;
  DhvBuilder b;
  for (int i = 0; i < 1000; ++i) b.add(test::opaque_design(3, static_cast<std::uint8_t>(i)));
  test::write_bytes(dir.file("big.dhv"), b.bytes());
  test::Seen diag;
  const std::string in = dir.file("big.dhv");
  EXPECT_EQ(test::korvane_seen({nullptr, nullptr, nullptr, in.c_str(), nullptr, 0, 0, nullptr},
                               real_file_system(), diag),
            0);
  EXPECT_EQ(dir.files().size(), 1001u);
  EXPECT_EQ(test::read_bytes(dir.file("big1000.shv")),
            test::opaque_design(3, static_cast<std::uint8_t>(999)));
  EXPECT_EQ(test::read_bytes(dir.file("big999.shv")),
            test::opaque_design(3, static_cast<std::uint8_t>(998)));
}

}  // namespace
}  // namespace kvn::convert
