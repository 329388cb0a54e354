#include "control/type_library.h"

namespace zeph::control {
namespace {

char16_t Lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

bool EqualsIgnoreCase(std::string_view ascii, std::u16string_view name) {
    if (ascii.size() != name.size()) return false;
    for (size_t i = 0; i < ascii.size(); ++i) {
        if (Lower(static_cast<char16_t>(ascii[i])) != Lower(name[i])) return false;
    }
    return true;
}

}  // namespace

bool IsIndexParameter(std::u16string_view name) {
    return EqualsIgnoreCase(kIndexParameter, name);
}

const Member* FindMember(DISPID id) {
    for (const Member& m : kMembers) {
        if (m.id == id) return &m;
    }
    return nullptr;
}

const Member* FindMember(std::u16string_view name) {
    for (const Member& m : kMembers) {
        if (EqualsIgnoreCase(m.name, name)) return &m;
    }
    return nullptr;
}

}  // namespace zeph::control
