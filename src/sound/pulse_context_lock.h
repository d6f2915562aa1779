#pragma once

// The program takes the lock of PulseAudio's mainloop around the calls that end a connection to
// the sound server, which QtMultimedia makes without it at exit (see pulse_context_lock.cpp).

namespace zk {

// True once a connection to the sound server has been made on a threaded mainloop and is known
// here, i.e. its teardown will take the mainloop's lock. False before any connection, and in a
// program whose libpulse calls do not come through these definitions.
bool PulseConnectionsGuarded();

} // namespace zk
