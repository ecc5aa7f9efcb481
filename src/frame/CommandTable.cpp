#include "frame/CommandTable.h"

#include <array>
#include <charconv>

#include "base/AsciiCase.h"
#include "frame/MainFrame.h"
#include "platform/text/CodePage.h"

namespace {

bool HasReceiver(const CommandContext& cx, CommandTarget target) {
  switch (target) {
    case CommandTarget::TextView: return cx.view != nullptr;
    case CommandTarget::FileList: return cx.list != nullptr;
    case CommandTarget::Document: return cx.doc != nullptr;
    case CommandTarget::Frame: return cx.frame != nullptr;
    case CommandTarget::HtmlView: return cx.html != nullptr;
  }
  return false;
}

// The receivers in the order a command visits them.
std::array<CommandTarget, 3> Road(const CommandContext& cx) {
  return {cx.active, CommandTarget::Document, CommandTarget::Frame};
}

// The first row on the road for which want(row) holds.
template <typename Want>
const CommandEntry* FirstOnRoad(const CommandTables& tables, unsigned id, const CommandContext& cx, Want want) {
  for (CommandTarget target : Road(cx)) {
    if (!HasReceiver(cx, target)) continue;
    for (CommandRows rows : tables) {
      for (const CommandEntry& row : rows) {
        if (row.id == id && row.target == target && want(row)) return &row;
      }
    }
  }
  return nullptr;
}

void Refuse(const CommandEntry& row, const char* why) {
  AfxNote(plat::Utf8ToCp932Lossy(std::string(row.name) + " (" + row.menuText + "): " + why));
}

}  // namespace

const CommandEntry* FindCommand(const CommandTables& tables, unsigned id) {
  for (CommandRows rows : tables) {
    for (const CommandEntry& row : rows) {
      if (row.id == id) return &row;
    }
  }
  return nullptr;
}

const CommandEntry* FindCommand(const CommandTables& tables, std::string_view idOrName) {
  unsigned id = 0;
  const char* end = idOrName.data() + idOrName.size();
  auto [ptr, ec] = std::from_chars(idOrName.data(), end, id);
  if (!idOrName.empty() && ec == std::errc() && ptr == end) return FindCommand(tables, id);
  for (CommandRows rows : tables) {
    for (const CommandEntry& row : rows) {
      if (EqualsNoCase(row.name, idOrName) || (row.scriptName && EqualsNoCase(row.scriptName, idOrName)))
        return &row;
    }
  }
  return nullptr;
}

const CommandEntry* RouteCommand(const CommandTables& tables, unsigned id, const CommandContext& cx) {
  return FirstOnRoad(tables, id, cx, [](const CommandEntry& row) { return row.handler != nullptr; });
}

CCmdUI QueryCommand(const CommandTables& tables, unsigned id, CommandContext& cx) {
  CCmdUI ui(id);
  const CommandEntry* updater = FirstOnRoad(tables, id, cx, [](const CommandEntry& row) { return row.update != nullptr; });
  if (updater) {
    updater->update(cx, ui);
  } else {
    ui.Enable(RouteCommand(tables, id, cx) != nullptr);
  }
  return ui;
}

CommandOutcome RunCommand(const CommandTables& tables, unsigned id, CommandContext& cx) {
  const CommandEntry* row = RouteCommand(tables, id, cx);
  if (!row) {
    const CommandEntry* any = FirstOnRoad(tables, id, cx, [](const CommandEntry&) { return true; });
    if (!any) {
      AfxNote("command " + std::to_string(id) + ": no receiver on this road takes it");
      return CommandOutcome::Unknown;
    }
    Refuse(*any, "not built yet; not run");
    return CommandOutcome::NotBuilt;
  }
  if (!QueryCommand(tables, id, cx).m_bEnabled) {
    Refuse(*row, "not available now; not run");
    return CommandOutcome::Disabled;
  }
  return row->handler(cx) < 0 ? CommandOutcome::Failed : CommandOutcome::Done;
}
