// Away from Windows the program's registry is the in-memory stand-in.

#include "system/memory_registry.h"

namespace quarn {

RegistryBackend& DefaultRegistry() {
    static MemoryRegistry registry;
    return registry;
}

}  // namespace quarn
