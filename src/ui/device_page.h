// The controller of one device page: binds a kind's page layout to its device object, runs the
// routed events that belong to the page and shows the device's state. The main window keeps one
// per selector entry and hands it every routed event of that page that it does not handle
// itself (profiles, selector, title bar).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/event_routes.h"

class QObject;
class QWidget;

namespace qm {
class CTessarinUSBDevice;
class Dispatcher;
}  // namespace qm

namespace qm::ui {

// What a page may use of the app.
struct PageServices {
    // The text of a language key (unknown keys come back unchanged).
    std::function<std::string(const std::string& key)> translate;
    // Shows a message (language key or plain text); buttonMode 0: confirm only, 1: confirm and
    // cancel. 1 when the user confirmed, else 0.
    std::function<int(const std::string& textKey, int buttonMode)> ask;
    // The UI thread's timers.
    Dispatcher* timers = nullptr;
};

class DevicePage {
public:
    virtual ~DevicePage() = default;
    // A routed event of this page: route, the control name's index (or the fixed route's
    // argument) and the control. False when the page does not handle the route.
    virtual bool RunRoute(app::Route route, int index, QObject* sender) = 0;
    // Shows the device's state again (after a profile change, a read-back, a language switch).
    virtual void Refresh() = 0;
};

// The page controller for a device's kind, bound to its built page layout; null for kinds whose
// page has no controller yet. page and device must outlive the controller.
std::unique_ptr<DevicePage> createDevicePage(QWidget* page, CTessarinUSBDevice& device,
                                             const PageServices& services);

}  // namespace qm::ui
