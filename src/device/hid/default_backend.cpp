#include <atomic>

#include "device/hid/hid_backend.h"
#include "device/hid/hidraw_backend.h"

namespace qm::hid {
namespace {

std::atomic<HidBackend*> g_Backend{nullptr};

}  // namespace

HidBackend& defaultBackend() {
    if (HidBackend* chosen = g_Backend.load())
        return *chosen;
    static const std::unique_ptr<HidBackend> hidraw = makeHidrawBackend();
    return *hidraw;
}

void setDefaultBackend(HidBackend* backend) {
    g_Backend = backend;
}

}  // namespace qm::hid
