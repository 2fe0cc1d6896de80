// Key codes from anywhere: names typed on the command line, codes read from a profile or a
// keyboard, page controls holding any values. Parsing and building never read outside their
// tables, and every name written for a code reads back as that code.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "keys/key_caption.h"
#include "keys/key_code_names.h"
#include "keys/key_page.h"

namespace {

// Consumes the input front to back; zeros once it runs out.
struct Bytes {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t byte() {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
    int value() { return static_cast<int>(static_cast<std::int16_t>(byte() | byte() << 8)); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qm::keys;
    Bytes in{data, size};
    const std::vector<std::string> macros = {"burst", "Reload", "reload"};
    const KeyCode code{in.byte(), in.byte(), in.byte()};

    // A name written for a code reads back as the code.
    const std::string name = KeyCodeName(code, macros);
    KeyCode parsed;
    std::string error;
    if (!ParseKeyCode(name, macros, parsed, error) || !(parsed == code))
        std::abort();

    // The page shows any code and builds from any control values.
    KeyPageContext context;
    context.deviceType = in.byte() % 3;
    context.macroCount = in.byte() % 5;
    KeyPageControls controls = ShowCode({}, code, context);
    (void)BuildCode(controls, code, code, context);
    KeyPageControls wild;
    for (int* field :
         {&wild.category,      &wild.mouseKeyRow,    &wild.swingDirection, &wild.swingCount,
          &wild.swingDelay,    &wild.swingSpeed,     &wild.wheelDirection, &wild.wheelCount,
          &wild.wheelDelay,    &wild.wheelSpeed,     &wild.dpiRow,         &wild.fireInterval,
          &wild.fireShots,     &wild.modifierOption, &wild.mediaRow,       &wild.systemRow,
          &wild.macroRow,      &wild.macroPlayMode,  &wild.macroRepeat,    &wild.gunKeyRow,
          &wild.combinationRow})
        *field = in.value();
    wild.keyUsage = in.byte();
    wild.modifiers = in.byte();
    (void)BuildCode(wild, code, code, context);
    (void)KeyCaption(
        code, [](std::string_view key) { return std::string(key); }, macros);

    // Whatever is left is typed on the command line.
    const std::string_view text(reinterpret_cast<const char*>(in.data), in.size);
    (void)ParseKeyCode(text, macros, parsed, error);
    return 0;
}
