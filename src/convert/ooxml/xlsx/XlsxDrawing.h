// One sheet's drawing of an XLSX workbook as object cells: each picture becomes a
// "[media name]" label padded to its column's width, each shape's text a cell that
// begins with its place ("(B05): "). The drawing's relations name the media files;
// the legacy drawing (VML) gives the pictures of shapes that refer to it by their
// shape number. A shape inside a group is placed on its own: its offset inside the
// group's frame is carried over the cells of the group's anchor (a picture by the
// middle of its extent); a place outside the anchor falls back to the anchor's
// start, for a picture to the anchor's middle.
//
// Limits: 100 relations (drawing and legacy together), 100 legacy picture
// references, groups nested 32 deep (deeper groups are placed as their parent), the
// object count and the cell limit given by the caller. One pass over each part.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class XlsxDrawing {
 public:
  struct Object {
    int row = 0;
    int column = 0;
    std::string text;
  };
  struct Settings {
    const std::array<unsigned char, 256>* widths = nullptr;  // byte c: width of column c (1-based)
    bool pictureLabels = true;  // false: picture cells stay empty
    size_t charLimit = 255;     // bytes of a cell text
    size_t room = 200;          // objects at most
  };
  static constexpr size_t kMaxRelations = 100;
  static constexpr size_t kMaxLegacyPictures = 100;
  static constexpr size_t kMaxDepth = 32;

  // A relations part of the drawing (legacy false) or of the legacy drawing.
  void ReadRelations(std::string_view rels, bool legacy);
  // The legacy drawing: the relation of each shape's picture.
  void ReadLegacy(std::string_view vml);
  // The drawing part: its objects in the order of the part.
  std::vector<Object> Read(std::string_view part, const Settings& settings) const;

  // The label of a picture: "[" its relation's media name "]", "[image]" when that
  // name is empty, "[Image]" when there is no such relation.
  std::string Label(int relation, bool legacy) const;
  // The relation id of the legacy picture of a shape number; 0 when there is none.
  int LegacyRelation(int shape) const;

 private:
  struct Relation {
    int id;
    bool legacy;
    std::string media;
  };
  struct LegacyPicture {
    int shape;
    int relation;
  };
  std::vector<Relation> relations_;
  std::vector<LegacyPicture> legacy_;
};
