// The type library of the reader control: its identifiers, and the members of
// its dispatch interface with their dispatch identifiers and types. Names are
// resolved from this table, so the table is what late-bound clients see.
#pragma once

#include <array>
#include <string_view>

#include "control/dispatch_ids.h"
#include "platform/com.h"

namespace zeph::control {

// {D7C5A2E1-3B6F-4C1A-9E52-6A1F0B3C4D01} and neighbours: fixed for good, as
// registered clients and saved references depend on them.
inline constexpr GUID kLibraryId = {
    0xD7C5A2E1, 0x3B6F, 0x4C1A, {0x9E, 0x52, 0x6A, 0x1F, 0x0B, 0x3C, 0x4D, 0x01}};
inline constexpr GUID kDispatchIid = {
    0xD7C5A2E2, 0x3B6F, 0x4C1A, {0x9E, 0x52, 0x6A, 0x1F, 0x0B, 0x3C, 0x4D, 0x01}};
inline constexpr GUID kEventsIid = {
    0xD7C5A2E3, 0x3B6F, 0x4C1A, {0x9E, 0x52, 0x6A, 0x1F, 0x0B, 0x3C, 0x4D, 0x01}};
inline constexpr GUID kControlClsid = {
    0xD7C5A2E4, 0x3B6F, 0x4C1A, {0x9E, 0x52, 0x6A, 0x1F, 0x0B, 0x3C, 0x4D, 0x01}};

inline constexpr std::string_view kLibraryName = "ZEPHBARCODEREADERLib";
inline constexpr std::string_view kLibraryHelp = "ZephBarcodeReader ActiveX Control module";
inline constexpr std::string_view kLibraryHelpFile = "ZephBarcodeReader.hlp";
inline constexpr int kLibraryMajor = 2;
inline constexpr int kLibraryMinor = 3;
inline constexpr std::string_view kLibraryVersion = "2.3";
inline constexpr LCID kLibraryLocale = 0x409;

inline constexpr std::string_view kDispatchName = "_DZephBarcodeReader";
inline constexpr std::string_view kDispatchHelp =
    "Dispatch interface for ZephBarcodeReader Control";
inline constexpr std::string_view kEventsName = "_DZephBarcodeReaderEvents";
inline constexpr std::string_view kEventsHelp = "Event interface for ZephBarcodeReader Control";
inline constexpr std::string_view kClassName = "ZephBarcodeReader";
inline constexpr std::string_view kClassHelp = "ZephBarcodeReader Control";
inline constexpr std::string_view kProgId = "ZEPHBARCODEREADER.ZephBarcodeReaderCtrl.1";

enum class MemberKind { kProperty, kReadOnlyProperty, kMethod };

struct Member {
    std::string_view name;
    DISPID id;
    MemberKind kind;
    VARTYPE type;  // of the property, or of the method's result (VT_EMPTY: none)
    std::string_view help = {};
};

inline constexpr std::array<Member, 21> kMembers = {{
    {"ThoroughMode", reader_dispid::kThoroughMode, MemberKind::kProperty, VT_BOOL},
    {"Picture", reader_dispid::kPicture, MemberKind::kProperty, VT_DISPATCH},
    {"ProtocolMask", reader_dispid::kProtocolMask, MemberKind::kProperty, VT_I4},
    {"ConfidenceThreshold", reader_dispid::kConfidenceThreshold, MemberKind::kProperty, VT_R4},
    {"NbCodesFound", reader_dispid::kNbCodesFound, MemberKind::kReadOnlyProperty, VT_I4},
    {"ContrastSensitivity", reader_dispid::kContrastSensitivity, MemberKind::kProperty, VT_R4},
    {"Data", reader_dispid::kData, MemberKind::kMethod, VT_BSTR},
    {"BarcodeType", reader_dispid::kBarcodeType, MemberKind::kMethod, VT_BSTR},
    {"Symbology", reader_dispid::kSymbology, MemberKind::kMethod, VT_BSTR},
    {"DataDescriptor", reader_dispid::kDataDescriptor, MemberKind::kMethod, VT_BSTR},
    {"RawData", reader_dispid::kRawData, MemberKind::kMethod, VT_BSTR},
    {"Confidence", reader_dispid::kConfidence, MemberKind::kMethod, VT_R4},
    {"Cx", reader_dispid::kCx, MemberKind::kMethod, VT_I4},
    {"Cy", reader_dispid::kCy, MemberKind::kMethod, VT_I4},
    {"Startx", reader_dispid::kStartx, MemberKind::kMethod, VT_I4},
    {"Starty", reader_dispid::kStarty, MemberKind::kMethod, VT_I4},
    {"Stopx", reader_dispid::kStopx, MemberKind::kMethod, VT_I4},
    {"Stopy", reader_dispid::kStopy, MemberKind::kMethod, VT_I4},
    {"AboutBox", DISPID_ABOUTBOX, MemberKind::kMethod, VT_EMPTY},
    {"ExtendedSearch", reader_dispid::kExtendedSearch, MemberKind::kProperty, VT_BOOL,
     "After the standard or thorough search, reads what it missed: faint, cut-off, crowded, "
     "damaged and small symbols; adds only barcodes not found yet; reads GS1 DataBar where "
     "ProtocolMask has 1024, 2048 or 4096 (default: on)"},
    {"SearchThreads", reader_dispid::kSearchThreads, MemberKind::kProperty, VT_I4,
     "Threads the search of one picture may spread its work over, 1 to 64; every number "
     "gives the same results (default: 1, the calling thread alone)"},
}};

// The indexed methods take one 16-bit integer, named "index".
inline constexpr std::string_view kIndexParameter = "index";

bool IsIndexParameter(std::u16string_view name);
const Member* FindMember(DISPID id);
// Case-insensitive, as late-bound names are.
const Member* FindMember(std::u16string_view name);

}  // namespace zeph::control
