// Identity of the test component module (test_module.cpp), shared with the
// tests that register and create its class.
#pragma once

#include "platform/com.h"

namespace zeph::test_module {

// Plain constexpr (internal linkage): no shared symbol ties the module to the
// test program, so the module can really be unloaded.
constexpr CLSID kClsid = {
    0x3F2C9A10, 0x7B4E, 0x4D21, {0x8E, 0x5A, 0x6C, 0x0B, 0x1D, 0x2E, 0x3F, 0x40}};
constexpr GUID kTypeLibrary = {
    0x3F2C9A11, 0x7B4E, 0x4D21, {0x8E, 0x5A, 0x6C, 0x0B, 0x1D, 0x2E, 0x3F, 0x40}};
constexpr char kProgId[] = "Zeph.TestObject.1";
constexpr char16_t kProgIdW[] = u"Zeph.TestObject.1";
constexpr char kTypeLibraryVersion[] = "1.0";

// The one member of its dispatch interface: a method taking one VT_I4 and
// returning twice its value.
constexpr char16_t kDoubleName[] = u"Double";

}  // namespace zeph::test_module
