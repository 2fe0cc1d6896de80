// The HID backend of a virtual bus that runs in another process (quillmark-virtual serve),
// reached through its socket. Paths are the bus's
// ("virtual:keyboard#vid_320f&pid_5055&mi_01&col04"). A bus that goes away makes listing fail,
// exists false, and reads and writes return Failed; nothing waits on it longer than the caller's
// time-out (requests without one: 5 s).
#pragma once

#include <memory>
#include <string>

#include "device/hid/hid_backend.h"

namespace qm::hid {

// Each open connection has a socket of its own. The change listener, when set, runs on a thread
// of the backend: once the bus watches for it (so the first call also says "changes reach you
// from now on"), on every plug, unplug or power change the bus reports, when the bus goes away,
// and when it is reached again. The listener must not call setChangeListener.
std::unique_ptr<HidBackend> makeSocketBackend(std::string socketPath);

}  // namespace qm::hid
