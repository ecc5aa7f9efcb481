// The command table: what a menu item, an accelerator or a script's `command` runs.
// As in a message map, a row joins a command id to a handler and an update handler
// (enabled, checked) of one receiver: the text view, the file list, the document or
// the frame. A command goes to the active view first (the text view for menu
// commands, the file list for list commands), then to the document, then to the
// frame: the first row on that road with a handler runs it, and the first row with
// an update handler decides whether it may run. A disabled command is refused with a
// message and never run; a row without a handler names a command not built yet.
//
// Each subsystem keeps its rows in a constant table in its own file and hands them
// out through one function; cli/CommandTables.cpp gathers those functions. To add a
// command to the image subsystem:
//
//   // image/ImageCommands.cpp
//   #include "frame/CommandTable.h"
//   #include "image/saving/ImageSaveFormats.h"
//   #include "view/QelView.h"
//   namespace {
//   int OnSavePng(CommandContext& cx) {
//     return cx.view->SaveImageAs(ImageSaveCode::kPng, CQelView::SaveImageMode::kAsk).ok() ? 0 : -1;
//   }
//   void OnUpdateSavePng(CommandContext& cx, CCmdUI& ui) { ui.Enable(IsImageKind(cx.view->m_nFileKind)); }
//   constexpr CommandEntry kRows[] = {
//       {40120, "ID_IMAGE_SAVE_PNG", "PNG形式で保存", CommandTarget::TextView, OnSavePng, OnUpdateSavePng},
//   };
//   }  // namespace
//   CommandRows ImageCommands() { return kRows; }
//
//   // image/ImageCommands.h declares `CommandRows ImageCommands();`;
//   // cli/CommandTables.cpp includes it and adds ImageCommands() to its list.
//
// A list command is the same with CommandTarget::FileList (filelist/ListCommands.cpp
// holds the file list's rows; cx.list is the active list, its selection the files).
//
// Ids keep the system's own numbers where they are known (the framework's standard
// commands too: ID_FILE_OPEN 57601, ID_EDIT_SELECT_ALL 57642); the system's menu
// commands take 32768-33299, so new ones come from the block of the subsystem that
// owns the row, outside that range:
//   40000-40099 frame, document and text view   40100-40299 images
//   33300-33499 tables and formatting           33500-33699 file lists
//   33700-33799 archives   33800-33899 internet   33900-33999 media
// A name is "ID_" and upper-case ASCII; one id has one name in every table that holds it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

class CQelDoc;
class CQelView;
class CFlistView;
class CMainFrame;
class CQelHtmlView;

enum class CommandTarget { TextView, FileList, Document, Frame, HtmlView };

// The receivers of a command. `active` is the view the command is given to: the
// text view (menu commands), the file list (list commands) or the HTML browser pane.
struct CommandContext {
  CQelView* view = nullptr;
  CFlistView* list = nullptr;
  CQelDoc* doc = nullptr;
  CMainFrame* frame = nullptr;
  CommandTarget active = CommandTarget::TextView;
  CQelHtmlView* html = nullptr;
};

// What an update handler says of a command: whether it may run, and its check mark.
class CCmdUI {
 public:
  explicit CCmdUI(unsigned id) : m_nID(id) {}
  void Enable(bool enable = true) { m_bEnabled = enable; }
  void SetCheck(int check = 1) { m_nCheck = check; }

  unsigned m_nID;
  bool m_bEnabled = true;
  int m_nCheck = 0;
};

// A handler returns 0 when the command did its work, below 0 when it failed.
using CommandHandler = int (*)(CommandContext&);
using CommandUpdateHandler = void (*)(CommandContext&, CCmdUI&);

struct CommandEntry {
  unsigned id;
  const char* name;          // stable ASCII name for scripts: "ID_..."
  const char* menuText;      // UTF-8
  CommandTarget target;      // the receiver whose map holds the row
  CommandHandler handler;    // nullptr: not built yet
  CommandUpdateHandler update = nullptr;  // nullptr: enabled whenever a handler takes it
  const char* scriptName = nullptr;       // a script's short name for it ("compress"), or nullptr
};

using CommandRows = std::span<const CommandEntry>;
using CommandTables = std::vector<CommandRows>;

// The first row of an id (decimal text), a name or a script name (case-insensitive), or nullptr.
const CommandEntry* FindCommand(const CommandTables& tables, std::string_view idOrName);
const CommandEntry* FindCommand(const CommandTables& tables, unsigned id);

// The row whose handler takes the command on the context's road, or nullptr.
const CommandEntry* RouteCommand(const CommandTables& tables, unsigned id, const CommandContext& cx);
// The command's state as its update handler on the road gives it. With no update
// handler it is enabled when a handler takes it.
CCmdUI QueryCommand(const CommandTables& tables, unsigned id, CommandContext& cx);

enum class CommandOutcome { Done, Failed, Disabled, NotBuilt, Unknown };

// Runs a command as the menu would: refused with a note when it is disabled or not
// built (its handler is never called then).
CommandOutcome RunCommand(const CommandTables& tables, unsigned id, CommandContext& cx);
