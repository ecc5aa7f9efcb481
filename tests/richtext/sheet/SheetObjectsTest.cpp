// Boxes of a sheet (rectangles, text boxes, pictures over a range of cells): which
// object covers a cell, the rules each covered cell takes for each direction, and the
// conditions of column formats.
#include <gtest/gtest.h>

#include "richtext/sheet/SheetObjects.h"

namespace {

using namespace sheet;

SheetObject Box(const std::string& line) {
  SheetObject o;
  EXPECT_TRUE(ObjectOfColumnLine(line, ParseColumnLine(line, false), o)) << line;
  return o;
}

std::string RulesText(const CellRules& r) {
  return std::to_string(r.left) + std::to_string(r.right) + std::to_string(r.top) + std::to_string(r.bottom);
}

TEST(SheetObjects, ObjectSubItemsGiveTheFourRuleCharacters) {
  const struct {
    std::string items;
    std::string rules;
  } cases[] = {{"$12Tb", std::string("12Tb")}, {"$1", std::string("11\0\0", 4)}, {"$4", std::string("21\0\0", 4)},
               {"$!xy2", std::string("21\0\0", 4)}, {"$2%R", std::string("21\0\0", 4)}};
  for (const auto& c : cases) {
    const ColumnFormat f = ParseColumnLine("Rect\x06" + c.items + "\x06" "A1", false);
    EXPECT_EQ(std::string(f.rules.begin(), f.rules.end()), c.rules) << c.items;
  }
  // A text box reads its attributes after the '%' that ends the sub-items.
  EXPECT_EQ(ParseColumnLine("TH1\x06$1%Rb\x06" "A1", false).attrs.textColour, 'R');
}

// A 3 x 3 box over B2:D4 with thin sides and thick top and bottom (letters switch
// the top and bottom on with the box's left weight).
TEST(SheetObjects, DirectionsDrawOutlinesAndInnerRules) {
  const struct {
    std::string direction;
    std::string corner, middle, bottomRight;  // rules of B2, C3, D4: left right top bottom
  } cases[] = {
      {"N", "1010", "0000", "0101"},  // the outline only
      {"H", "1011", "0011", "0111"},  // outline and the rules between rows
      {"V", "1110", "1100", "1101"},  // outline and the rules between columns
      {"", "1111", "1111", "1111"},   // every cell framed
  };
  for (const auto& c : cases) {
    const ObjectGrid grid({Box("Rect\x06" + c.direction + "$1Tb\x06" "B2:D4")});
    EXPECT_EQ(RulesText(grid.Rules(2, 2)), c.corner) << c.direction;
    EXPECT_EQ(RulesText(grid.Rules(3, 3)), c.middle) << c.direction;
    EXPECT_EQ(RulesText(grid.Rules(4, 4)), c.bottomRight) << c.direction;
    EXPECT_EQ(RulesText(grid.Rules(1, 2)), "0000");  // outside
    EXPECT_EQ(RulesText(grid.Rules(2, 5)), "0000");
  }
}

TEST(SheetObjects, LaterObjectsOverwriteAndRangesAreOrdered) {
  const ObjectGrid grid({Box("Rect\x06N$2\x06" "A1:C3"), Box("TH\x06N$1\x06" "C3:B2\x06hello")});
  EXPECT_EQ(grid.ObjectAt(1, 1), 0);
  EXPECT_EQ(grid.ObjectAt(2, 2), 1);
  EXPECT_EQ(grid.ObjectAt(3, 3), 1);
  EXPECT_EQ(grid.ObjectAt(4, 3), -1);
  EXPECT_EQ(grid.Object(1).content, "hello");
  EXPECT_EQ(grid.Object(1).firstColumn, 2);
  EXPECT_EQ(grid.Object(1).lastRow, 3);
  EXPECT_EQ(grid.Rules(2, 2).left, 1);
  EXPECT_EQ(grid.Rules(1, 1).left, 2);
  // A percent position inside a cell still names that cell.
  EXPECT_EQ(Box("Re\x06$1\x06" "B2%50:C3%-20").lastColumn, 3);
  // Plain columns, conditions and lines without a range are no objects.
  SheetObject o;
  const std::string plain = "Name\x06" "1111\x06" "A1:B2";
  EXPECT_FALSE(ObjectOfColumnLine(plain, ParseColumnLine(plain, false), o));
  const std::string cond = "Rect\x06$1\x06if:>3";
  EXPECT_FALSE(ObjectOfColumnLine(cond, ParseColumnLine(cond, false), o));
  EXPECT_FALSE(ObjectOfColumnLine("Rect", ParseColumnLine("Rect", false), o));
}

TEST(SheetObjects, ConditionsCompareNumbersAndTexts) {
  const struct {
    std::string condition, cell;
    bool holds;
  } cases[] = {
      {">100", "150", true},     {">100", "1,000", true},  {">100", "99.5", false}, {"<=0", "-3", true},
      {">=2", "2", true},        {"<>5", "5", false},      {"!=5", "x", true},      {">100", "many", false},
      {"=done", "done", true},   {"done", " done ", true}, {"done", "open", false}, {"<b", "a", true},
      {"", "", true},            {"", "x", false},         {">=\\1,000", "\\1,234", true},
  };
  for (const auto& c : cases) EXPECT_EQ(ConditionHolds(c.condition, c.cell), c.holds) << c.condition << " / " << c.cell;
  EXPECT_EQ(ConditionOfColumnLine("Sum\x06R\x06if:>100", ParseColumnLine("Sum\x06R\x06if:>100", false)), ">100");
  EXPECT_EQ(ConditionOfColumnLine("Sum\x06R\x06" "A1", ParseColumnLine("Sum\x06R\x06" "A1", false)), "");
}


// The row-by-row owners (one pass per row, each cell filled once) agree with the
// cell-by-cell lookup, later objects on top, and so do the rules made from them.
TEST(SheetObjects, RowOwnersAgreeWithTheCellLookup) {
  const ObjectGrid grid({Box("Rect\x06N$1Tb\x06" "A1:F6"), Box("Rect\x06H$2\x06" "C2:H4"), Box("TH\x06V$1a\x06" "B4:D9"),
                         Box("Rect\x06$1\x06" "E5:E5"), Box("Rect\x06$1\x06" "J1:Z3")});
  for (int row = 0; row <= 11; ++row) {
    const std::vector<int> owners = grid.RowOwners(row, 12);
    ASSERT_EQ(owners.size(), 12u);
    for (int column = 1; column <= 12; ++column) {
      EXPECT_EQ(owners[static_cast<size_t>(column - 1)], grid.ObjectAt(row, column)) << row << "," << column;
      if (row < 1) continue;
      const CellRules a = grid.Rules(row, column);
      const CellRules b = grid.RulesFrom(grid.RowOwners(row - 1, 12), owners, grid.RowOwners(row + 1, 12), column);
      EXPECT_EQ(RulesText(a), RulesText(b)) << row << "," << column;
    }
  }
}

}  // namespace
