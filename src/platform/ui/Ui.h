// The window system as the program's logic sees it, without a window system:
// message boxes and dialogs are answered from a queue that a script or a test fills
// (a question with no queued answer takes its safe reply, No or Cancel, and says so),
// keys arrive through a queue, and time is one clock that tests and scripts advance.
// Every box is logged and written to the message stream (standard error by default).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Clipboard.h"

namespace plat {

// Message-box buttons and answers, with the values the system's callers compare against.
enum : unsigned { MB_OK = 0, MB_OKCANCEL = 1, MB_YESNOCANCEL = 3, MB_YESNO = 4 };
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Virtual-key codes the logic tests.
enum : int { VK_RETURN = 0x0D, VK_ESCAPE = 0x1B, VK_UP = 0x26, VK_DOWN = 0x28, VK_LEFT = 0x25, VK_RIGHT = 0x27 };

struct MessageRecord {
  std::string text;  // CP932
  unsigned type = MB_OK;
  int answer = IDOK;
  bool answeredByDefault = false;
};

// A dialog's answer: its result (IDOK, IDCANCEL, ...) and the values of its fields by name.
struct DialogAnswer {
  int result = IDCANCEL;
  std::map<std::string, std::string> fields;
};

class UiHost {
 public:
  UiHost();

  // Where box texts and notes go (UTF-8); standard error unless set. On a terminal
  // their control characters are shown, never written raw (platform/text/TerminalText.h).
  void SetMessageStream(std::ostream* out, bool terminal = false) {
    out_ = out;
    terminal_ = terminal;
  }
  bool MessagesToTerminal() const { return out_ && terminal_; }

  // Shows a message box; returns the queued answer as one of the box's buttons (yes
  // and ok accept, no and cancel refuse) or the safe default.
  int MessageBox(std::string_view sjisText, unsigned type = MB_OK);
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  // The answers still waiting for a box and for a dialog; the last queued are the
  // ones left, as each question takes the first.
  size_t PendingAnswers() const { return answers_.size(); }
  size_t PendingDialogs() const { return dialogs_.size(); }
  void DropAnswers() {
    answers_.clear();
    dialogs_.clear();
  }
  const std::vector<MessageRecord>& MessageLog() const { return log_; }

  // Runs a modal dialog by name; returns the queued answer (a plain OK or Cancel
  // queued for a box serves too) or a cancelled one.
  DialogAnswer RunDialog(std::string_view name);
  void QueueDialog(DialogAnswer answer) { dialogs_.push_back(std::move(answer)); }

  // Key-down messages waiting in the queue.
  void PushKeyDown(int virtualKey) { keys_.push_back(virtualKey); }
  // Removes the first pending key-down message; returns its key, or 0 when none waits.
  int PopKeyDown();
  bool HasPendingKey() const { return !keys_.empty(); }

  // Wait cursor, nested.
  void BeginWaitCursor() { ++waitCursor_; }
  void EndWaitCursor() {
    if (waitCursor_ > 0) --waitCursor_;
  }
  int WaitCursorDepth() const { return waitCursor_; }

  // The window whose updates are locked (0 for none).
  void LockWindowUpdate(int window) { lockedWindow_ = window; }
  int LockedWindow() const { return lockedWindow_; }

  // The clock, in milliseconds from the start, and timers on it. A timer repeats at
  // its interval until killed; Advance runs each one that falls due, in time order.
  using TimerCallback = std::function<void(int id)>;
  uint64_t NowMs() const { return now_; }
  void SetTimer(const void* owner, int id, uint32_t intervalMs, TimerCallback callback);
  void KillTimer(const void* owner, int id);
  void KillTimers(const void* owner);  // every timer of an owner that goes away
  bool HasTimer(const void* owner, int id) const;
  void Advance(uint64_t ms);

  // Bitmaps and their pixel budget.
  GdiHost& Gdi() { return gdi_; }
  // The screen the capture reads: the X server's, or the virtual desktop.
  Screen& GetScreen() { return screen_; }

  // Writes a note (UTF-8 conversion of CP932 text) to the message stream.
  void Note(std::string_view sjisText);
  // The same for a note already in UTF-8.
  void NoteUtf8(std::string_view text);

  // The program's clipboard.
  Clipboard& GetClipboard() { return clipboard_; }

 private:
  struct Timer {
    const void* owner;
    int id;
    uint32_t interval;
    uint64_t due;
    TimerCallback callback;
  };

  // One line to the message stream, through the terminal filter when it is one.
  void WriteLine(std::string_view utf8);

  std::ostream* out_;
  bool terminal_ = false;
  std::deque<int> answers_;
  std::deque<DialogAnswer> dialogs_;
  std::vector<MessageRecord> log_;
  std::deque<int> keys_;
  int waitCursor_ = 0;
  int lockedWindow_ = 0;
  uint64_t now_ = 0;
  std::vector<Timer> timers_;
  GdiHost gdi_;
  Screen screen_;
  Clipboard clipboard_;
};

}  // namespace plat
