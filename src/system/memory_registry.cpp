#include "system/memory_registry.h"

#include <algorithm>

#include "system/registry_vocabulary.h"
#include "system/text_case.h"
#include "system/value_data.h"

namespace quarn {
namespace {

// The predefined keys' handle values, as Win32 numbers them.
constexpr std::uintptr_t kRootBase = 0x80000000;

}  // namespace

struct MemoryRegistry::Node {
    std::wstring name;
    // Windows refuses new keys directly below these roots.
    bool closedForNewKeys = false;
    // A hive root or a top-level machine key: never deleted by key deletion.
    bool fixed = false;
    bool deleted = false;
    std::map<std::wstring, std::shared_ptr<Node>> children;  // by folded name
    std::vector<std::pair<std::wstring, RegistryValue>> values;

    std::shared_ptr<Node> Child(std::wstring_view childName) const {
        const auto it = children.find(FoldRegistryName(childName));
        return it == children.end() ? nullptr : it->second;
    }
    std::shared_ptr<Node> AddChild(std::wstring_view childName) {
        auto node = std::make_shared<Node>();
        node->name = childName;
        children.emplace(FoldRegistryName(childName), node);
        return node;
    }
    auto FindValue(std::wstring_view valueName) {
        return std::find_if(values.begin(), values.end(), [&](const auto& entry) {
            return SameRegistryName(entry.first, valueName);
        });
    }
    void MarkDeleted() {
        deleted = true;
        for (auto& [folded, child] : children) {
            child->MarkDeleted();
        }
    }
};

MemoryRegistry::MemoryRegistry() {
    for (auto& root : roots_) {
        root = std::make_shared<Node>();
    }
    auto& machine = roots_[static_cast<int>(RegistryRoot::LocalMachine)];
    machine->closedForNewKeys = true;
    for (const std::string_view name : kMachineKeys) {
        machine->AddChild(std::wstring(name.begin(), name.end()))->fixed = true;
    }
    machine->Child(L"SOFTWARE")->AddChild(L"WOW6432Node");
    auto& users = roots_[static_cast<int>(RegistryRoot::Users)];
    users->closedForNewKeys = true;
    users->AddChild(L".DEFAULT")->fixed = true;
}

MemoryRegistry::~MemoryRegistry() = default;

void MemoryRegistry::LoadHive(std::wstring_view sid) {
    auto& users = roots_[static_cast<int>(RegistryRoot::Users)];
    if (!users->Child(sid)) {
        users->AddChild(sid)->fixed = true;
    }
}

void MemoryRegistry::UnloadHive(std::wstring_view sid) {
    auto& users = roots_[static_cast<int>(RegistryRoot::Users)];
    const auto it = users->children.find(FoldRegistryName(sid));
    if (it != users->children.end()) {
        it->second->MarkDeleted();
        users->children.erase(it);
    }
}

KeyHandle MemoryRegistry::Root(RegistryRoot root) {
    return KeyHandle{kRootBase + static_cast<std::uintptr_t>(root)};
}

long MemoryRegistry::Find(KeyHandle key, Handle& handle) const {
    const auto value = static_cast<std::uintptr_t>(key);
    if (value >= kRootBase && value < kRootBase + 4) {
        handle = {roots_[value - kRootBase], kKeyAllAccess};
        return kErrorSuccess;
    }
    const auto it = open_.find(value);
    if (it == open_.end()) {
        return kErrorInvalidHandle;
    }
    handle = it->second;
    return handle.node->deleted ? kErrorKeyDeleted : kErrorSuccess;
}

long MemoryRegistry::Walk(const Handle& from, std::wstring_view subKey, std::uint32_t access,
                          WalkMode mode, std::shared_ptr<Node>& found) {
    const auto parts = KeyPathNames(subKey);
    std::shared_ptr<Node> node = from.node;
    const bool machineRoot = node == roots_[static_cast<int>(RegistryRoot::LocalMachine)];
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::shared_ptr<Node> child = node->Child(parts[i]);
        if (!child) {
            if (mode == WalkMode::Open) {
                return kErrorFileNotFound;
            }
            if (node->closedForNewKeys) {
                return kErrorAccessDenied;
            }
            child = node->AddChild(parts[i]);
        }
        node = child;
        // The 32-bit view of the machine's SOFTWARE key is its WOW6432Node.
        const bool redirect = machineRoot && i == 0 && (access & kKeyWow64_32Key) != 0 &&
                              SameRegistryName(parts[0], L"SOFTWARE") &&
                              !(parts.size() > 1 && SameRegistryName(parts[1], L"WOW6432Node"));
        if (redirect) {
            node = node->Child(L"WOW6432Node");
        }
    }
    found = node;
    return kErrorSuccess;
}

KeyHandle MemoryRegistry::Issue(std::shared_ptr<Node> node, std::uint32_t access) {
    const std::uintptr_t value = nextHandle_;
    nextHandle_ += 4;
    open_.emplace(value, Handle{std::move(node), access & ~kKeyViewMask});
    return KeyHandle{value};
}

long MemoryRegistry::CreateKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                               KeyHandle& key) {
    Handle from;
    if (const long result = Find(parent, from); result != kErrorSuccess) {
        return result;
    }
    if (!subKey.empty() && subKey.front() == L'\\') {
        return kErrorBadPathname;
    }
    std::shared_ptr<Node> node;
    if (const long result = Walk(from, subKey, access, WalkMode::Create, node);
        result != kErrorSuccess) {
        return result;
    }
    key = Issue(std::move(node), access);
    return kErrorSuccess;
}

long MemoryRegistry::OpenKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                             KeyHandle& key) {
    Handle from;
    if (const long result = Find(parent, from); result != kErrorSuccess) {
        return result;
    }
    std::shared_ptr<Node> node;
    if (const long result = Walk(from, subKey, access, WalkMode::Open, node);
        result != kErrorSuccess) {
        return result;
    }
    key = Issue(std::move(node), access);
    return kErrorSuccess;
}

void MemoryRegistry::CloseKey(KeyHandle key) {
    open_.erase(static_cast<std::uintptr_t>(key));
}

long MemoryRegistry::QueryValue(KeyHandle key, std::wstring_view name, RegistryValue& value) {
    Handle handle;
    if (const long result = Find(key, handle); result != kErrorSuccess) {
        return result;
    }
    if ((handle.access & kKeyQueryValue) == 0) {
        return kErrorAccessDenied;
    }
    const auto it = handle.node->FindValue(name);
    if (it == handle.node->values.end()) {
        return kErrorFileNotFound;
    }
    value = it->second;
    return kErrorSuccess;
}

long MemoryRegistry::SetValue(KeyHandle key, std::wstring_view name, std::uint32_t type,
                              std::span<const std::uint8_t> data) {
    Handle handle;
    if (const long result = Find(key, handle); result != kErrorSuccess) {
        return result;
    }
    if ((handle.access & kKeySetValue) == 0) {
        return kErrorAccessDenied;
    }
    RegistryValue value{type, {data.begin(), data.end()}};
    const auto it = handle.node->FindValue(name);
    if (it != handle.node->values.end()) {
        it->second = std::move(value);
    } else {
        handle.node->values.emplace_back(std::wstring(name), std::move(value));
    }
    return kErrorSuccess;
}

long MemoryRegistry::DeleteValue(KeyHandle key, std::wstring_view name) {
    Handle handle;
    if (const long result = Find(key, handle); result != kErrorSuccess) {
        return result;
    }
    if ((handle.access & kKeySetValue) == 0) {
        return kErrorAccessDenied;
    }
    const auto it = handle.node->FindValue(name);
    if (it == handle.node->values.end()) {
        return kErrorFileNotFound;
    }
    handle.node->values.erase(it);
    return kErrorSuccess;
}

long MemoryRegistry::EnumSubKeys(KeyHandle key, std::vector<std::wstring>& names) {
    Handle handle;
    if (const long result = Find(key, handle); result != kErrorSuccess) {
        return result;
    }
    if ((handle.access & kKeyEnumerateSubKeys) == 0) {
        return kErrorAccessDenied;
    }
    names.clear();
    for (const auto& [folded, child] : handle.node->children) {
        names.push_back(child->name);
    }
    return kErrorSuccess;
}

long MemoryRegistry::EnumValueNames(KeyHandle key, std::vector<std::wstring>& names) {
    Handle handle;
    if (const long result = Find(key, handle); result != kErrorSuccess) {
        return result;
    }
    if ((handle.access & kKeyQueryValue) == 0) {
        return kErrorAccessDenied;
    }
    names.clear();
    for (const auto& [name, value] : handle.node->values) {
        names.push_back(name);
    }
    return kErrorSuccess;
}

long MemoryRegistry::DeleteKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t view) {
    Handle from;
    if (const long result = Find(parent, from); result != kErrorSuccess) {
        return result;
    }
    const auto parts = KeyPathNames(subKey);
    if (parts.empty()) {
        return kErrorAccessDenied;  // a key cannot delete itself through an empty name
    }
    std::shared_ptr<Node> container;
    const std::wstring_view containerPath = subKey.substr(0, subKey.rfind(parts.back()));
    if (const long result = Walk(from, containerPath, view, WalkMode::Open, container);
        result != kErrorSuccess) {
        return result;
    }
    const auto it = container->children.find(FoldRegistryName(parts.back()));
    if (it == container->children.end()) {
        return kErrorFileNotFound;
    }
    const std::shared_ptr<Node> target = it->second;
    if (!target->children.empty() || target->fixed) {
        return kErrorAccessDenied;
    }
    target->MarkDeleted();
    container->children.erase(it);
    return kErrorSuccess;
}

}  // namespace quarn
