// The version the library reports and the words for its result codes.
#include "piecepaint/host.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(HostInfo, VersionMatchesTheHeader)
{
    EXPECT_STREQ(ppVersion(), PIECEPAINT_VERSION_STRING);
    EXPECT_EQ(std::string(PIECEPAINT_VERSION_STRING),
              std::to_string(PIECEPAINT_VERSION_MAJOR) + "." +
                  std::to_string(PIECEPAINT_VERSION_MINOR) + "." +
                  std::to_string(PIECEPAINT_VERSION_PATCH));
}

// Every code has its own words; anything else reads as unknown.
TEST(HostInfo, EachResultCodeHasItsOwnText)
{
    const int codes[] = {PP_RESULT_OK,
                         PP_RESULT_NOTHING_SELECTED,
                         PP_RESULT_NO_HEADER_MEMORY,
                         PP_RESULT_NO_PICTURE_MEMORY,
                         PP_RESULT_NOT_FOUND,
                         PP_RESULT_LOAD_FAILED,
                         PP_RESULT_NO_PIECE_MEMORY,
                         PP_RESULT_LOCK_FAILED};
    std::set<std::string> seen;
    for (int code : codes) {
        std::string text = ppResultText(code);
        EXPECT_NE(text, "unknown result") << code;
        EXPECT_TRUE(seen.insert(text).second) << code;
    }
    for (int other : {-1, 4, 5, 6, 9, 13, 15, 0x7FFFFFFF})
        EXPECT_STREQ(ppResultText(other), "unknown result") << other;
}

} // namespace
