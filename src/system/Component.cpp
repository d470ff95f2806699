#include "system/Component.h"

bool TComponent::IsValidName(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) {
        return false;
    }
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

void TComponent::SetName(const std::string& name) {
    if (!IsValidName(name)) {
        throw EComponentError("'" + name + "' is not a valid component name");
    }
    name_ = name;
}
