#include "platform/os/SignalCleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "platform/os/Files.h"

namespace plat {
namespace {

// The signals whose default action ends the run without a core dump.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};

// A run keeps its work folder, and a program folder of its own when it made one;
// tests keep a few documents at once.
constexpr int kSlots = 8;
constexpr size_t kMostPath = 1024;
// Work folders hold the roads' parts a few levels deep; deeper ones are left.
constexpr int kMostDepth = 16;

enum SlotState : int { kFree, kFilling, kReady };

struct Slot {
  std::atomic<int> state{kFree};
  char path[kMostPath] = {};
};

// The table the handler reads: one per process, as the signal dispositions are.
Slot g_slots[kSlots];

// Removes what the open folder dir holds, with the calls a signal handler may make.
// Entries removed while the folder is read may hide others, so the folder is read
// again until a pass removes nothing.
void RemoveBelow(int dir, int depth) {
  alignas(dirent64) char records[2048];
  for (int pass = 0; pass < 8; ++pass) {
    bool removed = false;
    if (lseek(dir, 0, SEEK_SET) != 0) return;
    for (ssize_t n; (n = getdents64(dir, records, sizeof records)) > 0;) {
      for (ssize_t at = 0; at < n;) {
        const auto* entry = reinterpret_cast<const dirent64*>(records + at);
        at += entry->d_reclen;
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (unlinkat(dir, name, 0) == 0) {
          removed = true;
          continue;
        }
        if (depth >= kMostDepth) continue;
        const int sub = openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0) continue;
        RemoveBelow(sub, depth + 1);
        close(sub);
        removed = unlinkat(dir, name, AT_REMOVEDIR) == 0 || removed;
      }
    }
    if (!removed) return;
  }
}

void OnEndingSignal(int signal) {
  const int saved = errno;
  for (Slot& slot : g_slots) {
    if (slot.state.load() != kReady) continue;
    const int dir = open(slot.path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) continue;
    RemoveBelow(dir, 0);
    close(dir);
    rmdir(slot.path);
  }
  errno = saved;
  // The handler was reset on entry: the signal, raised again, is delivered when the
  // handler returns and ends the run as it would have without one.
  raise(signal);
}

void TakeEndingSignals() {
  for (const int signal : kEndingSignals) {
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) != 0 || before.sa_handler != SIG_DFL || (before.sa_flags & SA_SIGINFO)) continue;
    struct sigaction handler {};
    handler.sa_handler = OnEndingSignal;
    sigemptyset(&handler.sa_mask);
    for (const int other : kEndingSignals) sigaddset(&handler.sa_mask, other);
    handler.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(signal, &handler, nullptr);
  }
}

}  // namespace

bool RemoveAtEndingSignal(std::string_view winFolder) {
  static const bool taken = (TakeEndingSignals(), true);
  (void)taken;
  const std::optional<std::string> host = ToHostPath(winFolder);
  if (!host || host->empty() || host->size() >= kMostPath) return false;
  for (Slot& slot : g_slots) {
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slot.path, host->c_str(), host->size() + 1);
    slot.state.store(kReady);
    return true;
  }
  return false;
}

void ForgetAtEndingSignal(std::string_view winFolder) {
  const std::optional<std::string> host = ToHostPath(winFolder);
  if (!host) return;
  for (Slot& slot : g_slots) {
    int expected = kReady;
    if (std::strcmp(slot.path, host->c_str()) != 0 || !slot.state.compare_exchange_strong(expected, kFilling)) continue;
    slot.path[0] = '\0';
    slot.state.store(kFree);
    return;
  }
}

}  // namespace plat
