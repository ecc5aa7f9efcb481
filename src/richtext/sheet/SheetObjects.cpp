// Objects of a sheet, their grid of covered cells and the rules they give each cell;
// conditions of column formats.
#include "richtext/sheet/SheetObjects.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace sheet {

namespace {

constexpr int kMaxCell = 1000000;  // rows and columns of an object are held to this

// A range number: a cell, or a cell with a position inside it in percent.
int CellOf(int32_t value) { return std::clamp(value >= 100000 ? value / 100000 : value, 1, kMaxCell); }

int RuleKind(char c) {
  const char m = MapRuleChar(c);
  return m == '1' ? 1 : m == '2' ? 2 : 0;
}

// A top or bottom rule character: a digit as a rule kind; a letter switches the rule
// on with the weight of the box's left rule.
int EdgeKind(const ColumnFormat& f, char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return std::max(RuleKind(f.rules[0]), 1);
  return RuleKind(c);
}

bool SameLook(const SheetObject& a, const SheetObject& b) {
  return a.format.attrs.textColour == b.format.attrs.textColour && a.format.attrs.backColour == b.format.attrs.backColour;
}

// A cell text as a number: blanks, '\', '$' and '+' before it and ',' inside skipped.
bool AsNumber(std::string_view text, double& out) {
  std::string digits;
  for (char c : text) {
    if (c == ',' || c == ' ' || ((c == '\\' || c == '$' || c == '+') && digits.empty())) continue;
    digits += c;
  }
  if (digits.empty() || digits.size() > 64) return false;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
  return ec == std::errc() && end == digits.data() + digits.size();
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return t;
}

// The fields of a column line, split at control characters.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t i = 0; i <= line.size() && fields.size() < 4; ++i) {
    if (i == line.size() || static_cast<unsigned char>(line[i]) < 0x20) {
      fields.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  return fields;
}

}  // namespace

bool ObjectOfColumnLine(std::string_view line, const ColumnFormat& format, SheetObject& out) {
  if (format.kind == 0 || format.range[0] == -9999 || format.rangeCount < 2) return false;
  out = SheetObject{};
  out.format = format;
  const std::vector<std::string_view> fields = Fields(line);
  if (fields.size() > 3) out.content = std::string(fields[3].substr(0, 1000));
  const int c1 = CellOf(format.range[0]), r1 = CellOf(format.range[1]);
  const int c2 = CellOf(format.range[2]), r2 = CellOf(format.range[3]);
  out.firstColumn = std::min(c1, c2);
  out.lastColumn = std::max(c1, c2);
  out.firstRow = std::min(r1, r2);
  out.lastRow = std::max(r1, r2);
  return true;
}

std::string_view ConditionOfColumnLine(std::string_view line, const ColumnFormat& format) {
  if (format.range[0] != -9999) return {};
  const std::vector<std::string_view> fields = Fields(line);
  if (fields.size() < 3 || !fields[2].starts_with("if:")) return {};
  return fields[2].substr(3);
}

ObjectGrid::ObjectGrid(std::vector<SheetObject> objects) : objects_(std::move(objects)) {}

int ObjectGrid::ObjectAt(int row, int column) const {
  for (size_t k = objects_.size(); k-- > 0;) {
    const SheetObject& o = objects_[k];
    if (row >= o.firstRow && row <= o.lastRow && column >= o.firstColumn && column <= o.lastColumn) {
      return static_cast<int>(k);
    }
  }
  return -1;
}

CellRules ObjectGrid::Rules(int row, int column) const {
  return Resolve(ObjectAt(row, column), row > 1 ? ObjectAt(row - 1, column) : -1, ObjectAt(row + 1, column), column);
}

std::vector<int> ObjectGrid::RowOwners(int row, int columns) const {
  const size_t n = static_cast<size_t>(std::max(columns, 0));
  std::vector<int> owners(n, -1);
  // Later objects first; each cell is filled once: next[c] leads past filled cells.
  std::vector<size_t> next(n + 1);
  for (size_t c = 0; c <= n; ++c) next[c] = c;
  const auto find = [&next](size_t c) {
    size_t root = c;
    while (next[root] != root) root = next[root];
    while (next[c] != root) c = std::exchange(next[c], root);
    return root;
  };
  for (size_t k = objects_.size(); k-- > 0;) {
    const SheetObject& o = objects_[k];
    if (row < o.firstRow || row > o.lastRow || o.firstColumn > columns) continue;
    const size_t last = static_cast<size_t>(std::min(o.lastColumn, columns));
    for (size_t c = find(static_cast<size_t>(o.firstColumn - 1)); c < last; c = find(c)) {
      owners[c] = static_cast<int>(k);
      next[c] = c + 1;
    }
  }
  return owners;
}

CellRules ObjectGrid::RulesFrom(const std::vector<int>& above, const std::vector<int>& here, const std::vector<int>& below,
                                int column) const {
  const auto at = [column](const std::vector<int>& owners) {
    return column >= 1 && static_cast<size_t>(column) <= owners.size() ? owners[static_cast<size_t>(column - 1)] : -1;
  };
  return Resolve(at(here), at(above), at(below), column);
}

CellRules ObjectGrid::Resolve(int k, int above, int below, int column) const {
  CellRules r;
  if (k < 0) return r;
  const SheetObject& o = objects_[static_cast<size_t>(k)];
  const ColumnFormat& f = o.format;
  const char dir = f.direction;
  const bool outlineColumns = dir == 'N' || dir == 'H';
  if (!outlineColumns || column == o.firstColumn) {
    r.left = RuleKind(f.rules[0]);
    r.leftColour = f.ruleColours[0];
  }
  if (!outlineColumns || column == o.lastColumn) {
    r.right = RuleKind(f.rules[1]);
    r.rightColour = f.ruleColours[1];
  }
  const bool outlineRows = dir == 'N' || dir == 'V';
  const bool joinedAbove = above >= 0 && SameLook(objects_[static_cast<size_t>(above)], o);
  const bool joinedBelow = below >= 0 && SameLook(objects_[static_cast<size_t>(below)], o);
  if (!(outlineRows && joinedAbove)) r.top = EdgeKind(f, f.rules[2]);
  if (!(outlineRows && joinedBelow)) r.bottom = EdgeKind(f, f.rules[3]);
  return r;
}

bool ConditionHolds(std::string_view condition, std::string_view cell) {
  condition = Trim(condition);
  int op = '=';
  static constexpr std::string_view kOps[] = {"<=", ">=", "<>", "!=", "<", ">", "="};
  for (std::string_view o : kOps) {
    if (condition.starts_with(o)) {
      op = o == "<=" ? 'l' : o == ">=" ? 'g' : (o == "<>" || o == "!=") ? 'n' : o[0];
      condition.remove_prefix(o.size());
      break;
    }
  }
  const std::string_view value = Trim(condition);
  cell = Trim(cell);
  double a = 0, b = 0;
  const bool cellNumber = AsNumber(cell, a), valueNumber = AsNumber(value, b);
  int order;
  if (cellNumber && valueNumber) {
    order = a < b ? -1 : a > b ? 1 : 0;
  } else if (valueNumber) {
    return op == 'n';  // a text is no number: only "not equal" holds
  } else {
    if (op != '=' && op != 'n' && (cell.empty() || value.empty())) return false;
    order = cell.compare(value);
    order = order < 0 ? -1 : order > 0 ? 1 : 0;
  }
  switch (op) {
    case '<': return order < 0;
    case '>': return order > 0;
    case 'l': return order <= 0;
    case 'g': return order >= 0;
    case 'n': return order != 0;
    default: return order == 0;
  }
}

}  // namespace sheet
