#pragma once

#include "korvane/korvane.h"

// Texts the product fixes, verbatim, in one place.
namespace kvn::frontend::texts {

inline constexpr const char* kBannerFirstLine = "KORVANE conversion utility version 1.0";
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

inline constexpr const char* kDialogTitle = "Select DHV file to convert";
inline constexpr const char* kFilterDescription = "Viking, Husqvarna (*.DHV)";
inline constexpr const char* kFilterPattern = "*.DHV";
inline constexpr const char* kFailedCaption = "KORVANE did NOT create all designs from:";
inline constexpr const char* kCreatedCaption = "KORVANE created design(s) from:";
inline constexpr const char* kQuestionFormat = "%s\n\nNeed to combine?";
inline constexpr const char* kQuestion = "Need to combine?";

}  // namespace kvn::frontend::texts
