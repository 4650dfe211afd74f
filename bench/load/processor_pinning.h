#pragma once

#include <sys/types.h>

// The server under test on a processor of its own and the driver's clients on
// the others, as a server is measured on a machine of its own: otherwise the
// scheduler moves them about, and a server sharing its processor with the
// clients it wakes is switched out after nearly every send, which moves its
// CPU time per delivery by a third from one round to the next.
namespace load {

// Keeps every thread of this process (and what it starts afterwards) off the
// server's processor; returns false where there is only one processor to run on.
bool KeepDriverOffServerProcessor();
// Moves every thread of process pid to the server's processor.
void PinToServerProcessor(pid_t pid);

}  // namespace load
