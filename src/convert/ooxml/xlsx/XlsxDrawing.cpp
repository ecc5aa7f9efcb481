// One sheet's drawing as object cells: a single walk over the part's tags that
// keeps the current anchor, the open groups' frames and the open shape or picture.
#include "convert/ooxml/xlsx/XlsxDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "convert/ooxml/xlsx/XlsxScan.h"
#include "platform/text/CodePage.h"

using xlsx::View;

namespace {

constexpr int kMaxRow = 1048576;
constexpr int kMaxColumn = 16384;

// The name of the tag at `at` without its namespace prefix, and whether it closes.
struct Tag {
  bool closing = false;
  View name;
};

Tag TagName(View part, size_t at) {
  Tag tag;
  size_t p = at + 1;
  if (p < part.size() && part[p] == '/') {
    tag.closing = true;
    ++p;
  }
  size_t q = p;
  while (q < part.size() && q < p + 64) {
    const char c = part[q];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' || c == '_' || c == '-')) break;
    ++q;
  }
  tag.name = part.substr(p, q - p);
  if (const size_t colon = tag.name.rfind(':'); colon != View::npos) tag.name.remove_prefix(colon + 1);
  return tag;
}

// A length in EMUs (a leading '-' and up to 15 digits); 0 when there is none.
double Emu(View v) {
  size_t i = 0;
  const bool negative = !v.empty() && v[0] == '-';
  if (negative) ++i;
  double n = 0;
  for (int digits = 0; i < v.size() && v[i] >= '0' && v[i] <= '9' && digits < 15; ++i, ++digits) n = n * 10 + (v[i] - '0');
  return negative ? -n : n;
}

// The number behind the last 's' of a shape id ("_x0000_s1025" gives 1025); 0 when none.
int ShapeNumber(View id) {
  const size_t s = id.rfind('s');
  return s == View::npos ? 0 : xlsx::ToInt(id.substr(s + 1));
}

// Cuts text to at most limit bytes, never inside a double-byte character.
void CutText(std::string& text, size_t limit) {
  size_t n = 0;
  while (n < text.size()) {
    const size_t w = IsSjisLeadByte(static_cast<uint8_t>(text[n])) && n + 1 < text.size() ? 2 : 1;
    if (n + w > limit) break;
    n += w;
  }
  text.resize(n);
}

// A shape's place as its text begins: "(B05): ", a column above Z as two letters.
std::string Place(int column, int row) {
  char place[32];
  const int c = std::clamp(column, 0, 26 * 27 - 1);
  if (c >= 26) std::snprintf(place, sizeof place, "(%c%c%02d): ", 'A' + c / 26 - 1, 'A' + c % 26, row + 1);
  else std::snprintf(place, sizeof place, "(%c%02d): ", 'A' + c, row + 1);
  return place;
}

struct Cell {
  int column = 0;
  double columnOffset = 0;
  int row = 0;
  double rowOffset = 0;
};

// An a:xfrm: offset and extent, and for a group the frame of its children.
struct Frame {
  double x = 0, y = 0, cx = 0, cy = 0;
  double childX = 0, childY = 0, childCx = 0, childCy = 0;
};

// The cell from `first` to `last` (EMU offsets inside them) at fraction f of the
// anchor's extent: the mean cell size is taken from the extent, the offsets and the
// cell count, so that evenly sized cells are met exactly.
int Interpolate(double f, int first, double firstOffset, int last, double lastOffset, double extent) {
  if (last <= first) return first;
  const double unit = (extent - lastOffset + firstOffset) / (last - first);
  const double cells = unit > 0 ? std::floor((firstOffset + f * extent) / unit) : std::round(f * (last - first));
  return static_cast<int>(std::clamp<double>(first + cells, first, last));
}

class DrawingWalk {
 public:
  DrawingWalk(const XlsxDrawing& drawing, View part, const XlsxDrawing::Settings& settings)
      : drawing_(drawing), part_(part), s_(settings) {
    groups_.reserve(XlsxDrawing::kMaxDepth);
  }

  std::vector<XlsxDrawing::Object> Run() {
    for (size_t at = part_.find('<'); at != View::npos && out_.size() < s_.room; at = part_.find('<', at + 1)) Visit(at);
    EndAnchor();
    return std::move(out_);
  }

 private:
  enum class Kind { kNone, kShape, kPicture };

  static bool IsAnchor(View name) { return name == "twoCellAnchor" || name == "oneCellAnchor" || name == "absoluteAnchor"; }

  void Visit(size_t at) {
    const Tag tag = TagName(part_, at);
    const View name = tag.name;
    if (IsAnchor(name)) {
      EndAnchor();
      inAnchor_ = !tag.closing;
      return;
    }
    if (!inAnchor_) return;
    if (tag.closing) {
      Close(name);
      return;
    }
    const size_t gt = part_.find('>', at);
    const bool empty = gt != View::npos && gt > at && part_[gt - 1] == '/';
    if (name == "from" || name == "to") {
      cell_ = name == "from" ? &from_ : &to_;
      hasTo_ = hasTo_ || name == "to";
    } else if (cell_ && (name == "col" || name == "colOff" || name == "row" || name == "rowOff")) {
      const View value = gt == View::npos ? View() : part_.substr(gt + 1, 24);
      // A cell is read into the sheet's bounds, so that the places and widths
      // worked out from it (a column or two further on) stay in range.
      if (name == "col") cell_->column = std::clamp(xlsx::ToInt(value), 0, kMaxColumn);
      else if (name == "row") cell_->row = std::clamp(xlsx::ToInt(value), 0, kMaxRow);
      else if (name == "colOff") cell_->columnOffset = Emu(value);
      else cell_->rowOffset = Emu(value);
    } else if (name == "grpSp" && !empty) {
      FinishObject();
      frame_ = nullptr;
      if (groups_.size() >= XlsxDrawing::kMaxDepth) {
        ++deeper_;
      } else {
        groups_.emplace_back();
        groupFramePending_ = true;
      }
    } else if (name == "xfrm") {
      if (kind_ != Kind::kNone && !objectFramed_) {
        frame_ = &object_;
        objectFramed_ = true;
      } else if (kind_ == Kind::kNone && groupFramePending_ && deeper_ == 0 && !groups_.empty()) {
        frame_ = &groups_.back();
        groupFramePending_ = false;
      }
    } else if (frame_ && (name == "off" || name == "chOff")) {
      (name == "off" ? frame_->x : frame_->childX) = Emu(xlsx::Attr(part_, at, "x=\""));
      (name == "off" ? frame_->y : frame_->childY) = Emu(xlsx::Attr(part_, at, "y=\""));
    } else if (frame_ && (name == "ext" || name == "chExt")) {
      (name == "ext" ? frame_->cx : frame_->childCx) = Emu(xlsx::Attr(part_, at, "cx=\""));
      (name == "ext" ? frame_->cy : frame_->childCy) = Emu(xlsx::Attr(part_, at, "cy=\""));
    } else if ((name == "sp" || name == "pic") && !empty) {
      FinishObject();
      frame_ = nullptr;
      kind_ = name == "sp" ? Kind::kShape : Kind::kPicture;
      groupFramePending_ = false;
    } else if (name == "blip" && kind_ == Kind::kPicture && embed_ < 0) {
      embed_ = xlsx::ToInt(xlsx::Attr(part_, at, "r:embed=\"rId"));
    } else if (name == "compatExt" && kind_ == Kind::kShape) {
      legacyShape_ = ShapeNumber(xlsx::Attr(part_, at, "spid=\""));
    } else if (name == "t" && kind_ == Kind::kShape && gt != View::npos && !empty) {
      const size_t stop = std::min(part_.find('<', gt + 1), part_.size());
      if (hasRun_ && paragraphEnded_) runs_ += "        ";
      hasRun_ = true;
      paragraphEnded_ = false;
      xlsx::AppendText(part_.substr(gt + 1, stop - gt - 1), runs_, Limit(), ':');
    }
  }

  void Close(View name) {
    if (name == "xfrm") frame_ = nullptr;
    else if (name == "from" || name == "to") cell_ = nullptr;
    else if (name == "p" && hasRun_) paragraphEnded_ = true;
    else if ((name == "sp" && kind_ == Kind::kShape) || (name == "pic" && kind_ == Kind::kPicture)) FinishObject();
    else if (name == "grpSp") {
      FinishObject();
      frame_ = nullptr;
      if (deeper_ > 0) --deeper_;
      else if (!groups_.empty()) groups_.pop_back();
      groupFramePending_ = false;
    }
  }

  void EndAnchor() {
    FinishObject();
    inAnchor_ = false;
    from_ = to_ = Cell{};
    hasTo_ = false;
    cell_ = nullptr;
    frame_ = nullptr;
    groups_.clear();
    deeper_ = 0;
    groupFramePending_ = false;
  }

  size_t Limit() const { return s_.charLimit > 1 ? s_.charLimit - 1 : 1; }

  // The place of the open object: the anchor's start outside a group; inside one
  // its offset (a picture's middle) carried through the groups' frames to the
  // anchor's cells, or the fall-back when it lies outside the anchor.
  void Locate(bool picture, int& column, int& row) const {
    const Cell& last = hasTo_ ? to_ : from_;
    column = from_.column;
    row = from_.row;
    if (groups_.empty()) return;
    double x = object_.x + (picture ? object_.cx / 2 : 0);
    double y = object_.y + (picture ? object_.cy / 2 : 0);
    for (auto g = groups_.rbegin(); g != groups_.rend(); ++g) {
      x = g->x + (x - g->childX) * (g->childCx > 0 ? g->cx / g->childCx : 1.0);
      y = g->y + (y - g->childY) * (g->childCy > 0 ? g->cy / g->childCy : 1.0);
    }
    const Frame& outer = groups_.front();
    const double fx = outer.cx > 0 ? (x - outer.x) / outer.cx : -1;
    const double fy = outer.cy > 0 ? (y - outer.y) / outer.cy : -1;
    constexpr double kSlack = 1e-6;
    if (!(fx >= -kSlack && fx <= 1 + kSlack && fy >= -kSlack && fy <= 1 + kSlack)) {
      if (picture) {
        column = static_cast<int>((static_cast<int64_t>(from_.column) + last.column) / 2);
        row = static_cast<int>((static_cast<int64_t>(from_.row) + last.row) / 2);
      }
      return;
    }
    column = Interpolate(std::clamp(fx, 0.0, 1.0), from_.column, from_.columnOffset, last.column, last.columnOffset, outer.cx);
    row = Interpolate(std::clamp(fy, 0.0, 1.0), from_.row, from_.rowOffset, last.row, last.rowOffset, outer.cy);
  }

  // A picture's label, padded with blanks to its column's width, or to its column's
  // and the next one's when it is longer.
  std::string PictureText(int relation, bool legacy, int column) const {
    if (!s_.pictureLabels) return {};
    std::string label = drawing_.Label(relation, legacy);
    if (s_.widths) {
      const auto width = [&](int c) { return c >= 1 && c <= 255 ? (*s_.widths)[static_cast<size_t>(c)] : 0; };
      const size_t own = width(column + 1);
      const size_t pair = own + width(column + 2);
      if (label.size() < own) label.resize(own, ' ');
      else if (label.size() < pair) label.resize(pair, ' ');
    }
    CutText(label, Limit());
    return label;
  }

  void Emit(int column, int row, std::string text) {
    if (out_.size() >= s_.room) return;
    out_.push_back({std::clamp(row, 0, kMaxRow), std::clamp(column, 0, kMaxColumn), std::move(text)});
  }

  void FinishObject() {
    if (kind_ == Kind::kPicture) {
      int column = 0, row = 0;
      Locate(true, column, row);
      Emit(column, row, PictureText(embed_, false, column));
    } else if (kind_ == Kind::kShape) {
      int column = 0, row = 0;
      if (const int relation = legacyShape_ > 0 ? drawing_.LegacyRelation(legacyShape_) : 0; relation > 0) {
        Locate(true, column, row);
        Emit(column, row, PictureText(relation, true, column));
      }
      if (hasRun_) {
        Locate(false, column, row);
        std::string text = Place(column, row) + runs_;
        CutText(text, Limit());
        Emit(column, row, std::move(text));
      }
    }
    kind_ = Kind::kNone;
    object_ = Frame{};
    objectFramed_ = false;
    if (frame_ == &object_) frame_ = nullptr;
    embed_ = -1;
    legacyShape_ = 0;
    runs_.clear();
    hasRun_ = false;
    paragraphEnded_ = false;
  }

  const XlsxDrawing& drawing_;
  View part_;
  const XlsxDrawing::Settings& s_;
  std::vector<XlsxDrawing::Object> out_;

  bool inAnchor_ = false;
  Cell from_, to_;
  bool hasTo_ = false;
  Cell* cell_ = nullptr;  // the anchor cell being read
  std::vector<Frame> groups_;
  size_t deeper_ = 0;  // groups past the depth limit, placed as their parent
  bool groupFramePending_ = false;
  Frame* frame_ = nullptr;  // the frame an open a:xfrm fills

  Kind kind_ = Kind::kNone;
  Frame object_;
  bool objectFramed_ = false;
  int embed_ = -1;
  int legacyShape_ = 0;
  std::string runs_;
  bool hasRun_ = false;
  bool paragraphEnded_ = false;
};

}  // namespace

void XlsxDrawing::ReadRelations(View rels, bool legacy) {
  for (size_t at = 0; (at = rels.find("<Relationship ", at)) != View::npos && relations_.size() < kMaxRelations; ++at) {
    const View target = xlsx::Attr(rels, at, "Target=\"");
    const size_t m = target.find("media/");
    View media = m == View::npos ? View() : target.substr(m + 6, 255);
    media = media.substr(0, media.find_first_of("/>"));
    relations_.push_back({xlsx::ToInt(xlsx::Attr(rels, at, "Id=\"rId")), legacy, std::string(media)});
  }
}

void XlsxDrawing::ReadLegacy(View vml) {
  int shape = 0;
  for (size_t at = vml.find('<'); at != View::npos && legacy_.size() < kMaxLegacyPictures; at = vml.find('<', at + 1)) {
    const Tag tag = TagName(vml, at);
    if (tag.closing) continue;
    if (tag.name == "shape") {
      shape = ShapeNumber(xlsx::Attr(vml, at, "id=\""));
    } else if (tag.name.substr(0, 2) == "im" && shape > 0) {
      const size_t end = vml.find('>', at);
      const View element = vml.substr(at, end == View::npos ? View::npos : end - at);
      const size_t r = element.find("relid=\"rId");
      if (r == View::npos) continue;
      const int relation = xlsx::ToInt(element.substr(r + 10));
      const bool known = std::any_of(legacy_.begin(), legacy_.end(), [&](const LegacyPicture& l) { return l.shape == shape; });
      if (relation > 0 && !known) legacy_.push_back({shape, relation});
    }
  }
}

std::vector<XlsxDrawing::Object> XlsxDrawing::Read(View part, const Settings& settings) const {
  return DrawingWalk(*this, part, settings).Run();
}

std::string XlsxDrawing::Label(int relation, bool legacy) const {
  const auto found = std::find_if(relations_.begin(), relations_.end(),
                                  [&](const Relation& r) { return r.id == relation && r.legacy == legacy; });
  if (found == relations_.end()) return "[Image]";
  return "[" + (found->media.empty() ? std::string("image") : found->media) + "]";
}

int XlsxDrawing::LegacyRelation(int shape) const {
  const auto found = std::find_if(legacy_.begin(), legacy_.end(), [&](const LegacyPicture& l) { return l.shape == shape; });
  return found == legacy_.end() ? 0 : found->relation;
}
