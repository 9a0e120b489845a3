// Group repeats send the first pass of the layout back to a group's start;
// with group marks on both axes, crossing and re-opened, every catalogue must
// still come to an end. An exhaustive walk of every arrangement of group
// marks on up to five pieces found no endless one; these tests keep it so.
#include "support/builders.h"
#include "support/layout_run.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// What one axis of one piece carries: no computed placement, or computed
// placement with any of member (mode 3), group start and group end.
struct AxisMarks {
    bool computed;
    bool member;
    bool start;
    bool end;
};

uint16_t Word(const AxisMarks &m)
{
    if (!m.computed)
        return 0x2001; // offset only: placed at 0, marks ignored
    return static_cast<uint16_t>(0xA000 | (m.member ? 3 : 1));
}

PieceTemplate Piece(size_t index, const AxisMarks &x, const AxisMarks &y)
{
    uint16_t flags = 0;
    flags |= x.start ? 0x010 : 0;
    flags |= x.end ? 0x020 : 0;
    flags |= y.start ? 0x004 : 0;
    flags |= y.end ? 0x008 : 0;
    PieceTemplate t = pptest::PlacedTemplate(index, Word(x), Word(y), flags);
    pptest::SetOffsets(t, static_cast<int16_t>(10 * index), static_cast<int16_t>(7 * index));
    return t;
}

TEST(LayoutGroups, CrossedAndReopenedGroupsComeToAnEnd)
{
    // The arrangement that made the most turns among ten pieces: groups on
    // both axes whose repeats each re-open the other's.
    const AxisMarks n{false, false, false, false};
    auto marks = [](int bits) {
        return AxisMarks{true, (bits & 4) != 0, (bits & 2) != 0, (bits & 1) != 0};
    };
    std::vector<PieceTemplate> templates = {
        Piece(0, marks(7), marks(2)), Piece(1, marks(3), marks(4)),
        Piece(2, marks(4), n),        Piece(3, n, n),
        Piece(4, marks(5), marks(4)), Piece(5, marks(2), n),
        Piece(6, marks(5), n),        Piece(7, marks(6), marks(4)),
        Piece(8, marks(1), n),        Piece(9, marks(7), marks(5))};
    pptest::LayoutRun run = pptest::RunLayout(pptest::DefaultHeader(), templates);
    EXPECT_EQ(run.count, 10);
}

TEST(LayoutGroups, RandomGroupMarksAlwaysComeToAnEnd)
{
    std::mt19937 random(20240601);
    auto axis = [&random]() {
        uint32_t r = random();
        return AxisMarks{(r & 1) != 0, (r & 2) != 0, (r & 4) != 0, (r & 8) != 0};
    };
    for (int trial = 0; trial < 3000; ++trial) {
        size_t count = 2 + random() % 12;
        std::vector<PieceTemplate> templates;
        for (size_t i = 0; i < count; ++i)
            templates.push_back(Piece(i, axis(), axis()));
        pptest::LayoutRun run = pptest::RunLayout(pptest::DefaultHeader(), templates);
        ASSERT_EQ(run.count, static_cast<int32_t>(count)) << "trial " << trial;
    }
}

} // namespace
