#pragma once

#include "korvane/korvane.h"
#include "korvane/version.h"

// Texts the product fixes, verbatim, in one place.
namespace kvn::frontend::texts {

inline constexpr const char* kBannerFirstLine =
    "KORVANE conversion utility version " KORVANE_VERSION_STRING;
inline constexpr const char* kBannerNotice =
    "(c) 2026 the korvane developers; free software, no warranty";
inline constexpr const char* kBannerMakers = "Yet another utility from the makers of";
inline constexpr const char* kLogo[7] = {
    "#   #   ###   ####   #   #   ###   #   #  #####",
    "#  #   #   #  #   #  #   #  #   #  ##  #  #",
    "# #    #   #  #   #  #   #  #   #  # # #  #",
    "##     #   #  ####   #   #  #####  #  ##  ####",
    "# #    #   #  # #     # #   #   #  #   #  #",
    "#  #   #   #  #  #    # #   #   #  #   #  #",
    "#   #   ###   #   #    #    #   #  #   #  #####",
};
// Placeholders of the project's own; .invalid and example.org never belong to anyone else.
inline constexpr const char* kWebAddress = KORVANE_WEB_ADDRESS;
inline constexpr const char* kContactAddress = "korvane@korvane.invalid";

inline constexpr const char* kErrorLine = "korvane aborted with error #%d\n";

inline constexpr const char* kFailedCaption = "KORVANE did NOT create all designs from:";
inline constexpr const char* kCreatedCaption = "KORVANE created design(s) from:";
inline constexpr const char* kQuestion = "Need to combine?";
inline constexpr const char* kCannotCombine = "These designs cannot be combined:";
inline constexpr const char* kCombinedCaption = "KORVANE combined the designs of:";
inline constexpr const char* kNotCombinedCaption = "KORVANE did NOT combine the designs of:";
inline constexpr const char* kCombineFailed = "Combining failed:";
inline constexpr const char* kSplitStands = "The split designs were written all the same.";

inline constexpr const char* kOpenTitle = "Select designs to convert";
inline constexpr const char* kConvertedCaption = "KORVANE converted the design:";
inline constexpr const char* kNotConvertedCaption = "KORVANE did NOT convert the design:";
inline constexpr const char* kShvCaption = "KORVANE opened an SHV design:";
inline constexpr const char* kConvertShvQuestion = "Convert it to another format?";
inline constexpr const char* kSaveTitle = "Convert the design to";
inline constexpr const char* kTooLargeCaption = "KORVANE found a design larger than every hoop:";
inline constexpr const char* kTurnQuestion = "Turn it to fit?";
inline constexpr const char* kUnwritableCaption = "KORVANE cannot write in the folder:";
inline constexpr const char* kOtherFolderQuestion = "Choose another folder to write in?";
inline constexpr const char* kFolderTitle = "Choose a folder to write the designs in";
inline constexpr const char* kSummaryCaption = "KORVANE finished the files:";
inline constexpr const char* kChecked = "Read back after writing: it holds the design.";

}  // namespace kvn::frontend::texts
