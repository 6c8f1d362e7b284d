// Reaping children whose every handle was closed before anyone waited for them.
//
// A child that ends is a zombie until its parent collects its status. Handles that are closed
// without a wait hand the child here: a small detached thread blocks in waitpid for exactly that
// child and collects it the moment it ends, so no zombie lingers. Nothing touches SIGCHLD, and no
// other child of the process (one a caller waits for itself) is ever collected. When a thread
// cannot be started, the child goes on a list that every later process call sweeps with
// waitpid(WNOHANG).
#pragma once

#include <sys/types.h>

// Takes over collecting `child`, which nobody will wait for any more.
void reap_when_ended(pid_t child);

// Collects the children on the fallback list that have ended since the last sweep.
void sweep_unreaped_children();
