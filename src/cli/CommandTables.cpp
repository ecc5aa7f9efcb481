// Each subsystem hands out its constant command rows through one function declared
// in its folder; a new subsystem includes its header here and adds it to the list.
#include "cli/CommandTables.h"

#include "archive/ArchiveCommands.h"
#include "filelist/ListCommands.h"
#include "frame/FrameCommands.h"
#include "image/editing/ColorTools.h"
#include "image/editing/DrawingTools.h"
#include "image/ImageCommands.h"
#include "image/editing/RegionCommands.h"
#include "image/ViewImageCommands.h"
#include "media/MediaCommands.h"
#include "net/HomePage.h"
#include "net/NetCommands.h"
#include "richtext/format/FormatCommands.h"
#include "richtext/format/RichTextCommands.h"
#include "richtext/table/TableCommands.h"
#include "view/ViewCommands.h"

CommandTables AllCommandTables() {
  return {
      ViewCommands(),
      FrameCommands(),
      ListCommands(),
      FtpListCommands(),
      ArchiveCommands(),
      ImageCommands(),
      ViewImageCommands(),
      RegionCommands(),
      DrawingToolCommands(),
      ColorToolCommands(),
      MediaCommands(),
      RichTextCommands(),
      TableCommands(),
      FormatCommands(),
      NetCommands(),
      HomePageCommands(),
  };
}
