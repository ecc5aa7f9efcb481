// The run's own folders go with it however it ends. A run removes its work folder
// when it ends normally; a signal that ends it (a closed pipe on standard output,
// SIGTERM, SIGHUP, SIGINT, ...) would leave the folder and what the roads wrote
// into it behind, so the folders named here are removed by the signal's handler,
// which then lets the signal end the process as it would have. The handler uses
// only calls a signal handler may make (open, getdents, unlink, rmdir).
// A signal the process was started with ignored stays ignored; one another part of
// the process handles keeps its handler.
#pragma once

#include <string_view>

namespace plat {

// Removes winFolder, with everything below it, when a signal ends the run; false
// when it cannot be kept in the table (too many folders, or too long a path).
bool RemoveAtEndingSignal(std::string_view winFolder);
// The run removes winFolder itself: a signal no longer does.
void ForgetAtEndingSignal(std::string_view winFolder);

}  // namespace plat
