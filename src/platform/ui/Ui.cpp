#include "platform/ui/Ui.h"

#include <algorithm>
#include <iostream>

#include "platform/text/CodePage.h"
#include "platform/text/TerminalText.h"

namespace plat {

UiHost::UiHost() : out_(&std::cerr) {}

namespace {

// An answer given as one of the box's buttons: yes and ok accept, no and cancel
// refuse, so a "no" to an OK/Cancel question is its Cancel and never its OK.
int ButtonOfAnswer(int answer, unsigned type) {
  const bool refuses = answer == IDNO || answer == IDCANCEL;
  switch (type) {
    case MB_OKCANCEL: return refuses ? IDCANCEL : IDOK;
    case MB_YESNO: return refuses ? IDNO : IDYES;
    case MB_YESNOCANCEL: return answer == IDOK ? IDYES : answer;
    default: return IDOK;
  }
}

}  // namespace

int UiHost::MessageBox(std::string_view sjisText, unsigned type) {
  MessageRecord record;
  record.text = std::string(sjisText);
  record.type = type;
  const bool question = type != MB_OK;
  if (!answers_.empty()) {
    record.answer = ButtonOfAnswer(answers_.front(), type);
    answers_.pop_front();
  } else {
    record.answeredByDefault = question;
    record.answer = type == MB_YESNO ? IDNO : type == MB_OK ? IDOK : IDCANCEL;
  }
  WriteLine(Cp932ToUtf8(sjisText));
  if (record.answeredByDefault) WriteLine(record.answer == IDNO ? "(no answer given: No)" : "(no answer given: Cancel)");
  log_.push_back(record);
  return record.answer;
}

DialogAnswer UiHost::RunDialog(std::string_view name) {
  if (!dialogs_.empty()) {
    DialogAnswer answer = std::move(dialogs_.front());
    dialogs_.pop_front();
    return answer;
  }
  // A plain OK or Cancel waiting in the box queue answers a dialog too.
  if (!answers_.empty() && (answers_.front() == IDOK || answers_.front() == IDCANCEL)) {
    DialogAnswer answer;
    answer.result = answers_.front();
    answers_.pop_front();
    return answer;
  }
  WriteLine("(dialog " + std::string(name) + " not answered: Cancel)");
  return DialogAnswer{};
}

int UiHost::PopKeyDown() {
  if (keys_.empty()) return 0;
  int key = keys_.front();
  keys_.pop_front();
  return key;
}

void UiHost::SetTimer(const void* owner, int id, uint32_t intervalMs, TimerCallback callback) {
  KillTimer(owner, id);
  timers_.push_back(Timer{owner, id, intervalMs, now_ + std::max<uint32_t>(intervalMs, 1), std::move(callback)});
}

void UiHost::KillTimer(const void* owner, int id) {
  std::erase_if(timers_, [&](const Timer& t) { return t.owner == owner && t.id == id; });
}

void UiHost::KillTimers(const void* owner) {
  std::erase_if(timers_, [&](const Timer& t) { return t.owner == owner; });
}

bool UiHost::HasTimer(const void* owner, int id) const {
  return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.owner == owner && t.id == id; });
}

void UiHost::Advance(uint64_t ms) {
  const uint64_t end = now_ + ms;
  for (;;) {
    auto next = std::min_element(timers_.begin(), timers_.end(),
                                 [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (next == timers_.end() || next->due > end) break;
    now_ = next->due;
    next->due += std::max<uint32_t>(next->interval, 1);
    // The callback may set or kill timers, so it is called on a copy.
    TimerCallback callback = next->callback;
    int id = next->id;
    callback(id);
  }
  now_ = end;
}

void UiHost::Note(std::string_view sjisText) { WriteLine(Cp932ToUtf8(sjisText)); }

void UiHost::NoteUtf8(std::string_view text) { WriteLine(text); }

void UiHost::WriteLine(std::string_view utf8) {
  if (!out_) return;
  if (terminal_) {
    *out_ << VisibleControls(utf8, true) << '\n';
  } else {
    *out_ << utf8 << '\n';
  }
}

}  // namespace plat
