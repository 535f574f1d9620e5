// libFuzzer target for the registry file: any text parses, and what is
// parsed formats into a text that parses back to the same entries.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "media/image_library.h"
#include "shell/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using pavalo::Registry;
    const auto entries = Registry::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto again = Registry::parse(Registry::format(entries));
    // Format groups entries by key; each key's values keep their order.
    if (again.size() != entries.size()) std::abort();
    for (const auto& e : entries) {
        bool found = false;
        for (const auto& a : again)
            found = found || (pavalo::equalIgnoringCase(a.key, e.key) && a.name == e.name && a.value == e.value);
        if (!found) std::abort();
    }
    return 0;
}
