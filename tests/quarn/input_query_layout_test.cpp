#include <gtest/gtest.h>

#include "quarn/input_query_layout.h"

namespace quarn {
namespace {

TEST(MulDivRounded, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDivRounded(180, 6, 4), 270);
    EXPECT_EQ(MulDivRounded(8, 13, 8), 13);
    EXPECT_EQ(MulDivRounded(14, 13, 8), 23);  // 22.75
    EXPECT_EQ(MulDivRounded(5, 1, 2), 3);     // 2.5
    EXPECT_EQ(MulDivRounded(-5, 1, 2), -3);
}

TEST(InputQueryLayout, FollowsTheDialogUnitsOfTheFont) {
    // Tahoma 8 at 96 dpi: cx 6, cy 13; a one-line prompt 30 x 13; edit 21 high.
    const InputQueryLayout layout = LayoutInputQuery(6, 13, 30, 13, 21);
    EXPECT_EQ(layout.clientWidth, 270);
    EXPECT_EQ(layout.promptMaxWidth, 246);
    EXPECT_EQ(layout.prompt, (Bounds{12, 13, 30, 13}));
    EXPECT_EQ(layout.edit, (Bounds{12, 31, 246, 21}));
    EXPECT_EQ(layout.ok, (Bounds{57, 67, 75, 23}));
    EXPECT_EQ(layout.cancel, (Bounds{138, 67, 75, 23}));
    EXPECT_EQ(layout.clientHeight, 103);
}

}  // namespace
}  // namespace quarn
