#pragma once
// How the programs this process starts (desktop hand-offs, the RAW developer) find their
// signals: none blocked, and each one's default handling back, except the signals that were
// ignored when this process started. Those stay ignored in the child, as a shell leaves them:
// under `nohup` a hang-up must not end a browser the app opened, nor the RAW developer
// half-way through a frame, any more than it ends the app itself. A caller may name signals
// that get their default handling all the same: the RAW developer's protocol relies on its
// dying of SIGPIPE when the app refuses an answer, however the app was started.

#include <csignal>
#include <initializer_list>
#include <spawn.h>

namespace qv::platform {

// Records which signals the process was started with ignored. Call it first thing in main,
// before the process changes any disposition (keepGoingWhenOutputCloses() calls it before it
// ignores SIGPIPE). Later calls change nothing; without a call, the first use records the
// signals ignored at that moment.
void recordSignalsIgnoredAtStart();

// Sets `attributes` so that the child starts as the header says: an empty signal mask, and
// the default handling of every signal but those ignored at start and not in `alwaysDefault`.
void startWithInheritedSignals(posix_spawnattr_t& attributes,
                               std::initializer_list<int> alwaysDefault = {});

} // namespace qv::platform
