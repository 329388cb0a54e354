#include "cli/usage.h"

#include <array>
#include <string>

#include "cli/console.h"

namespace zeph::cli {
namespace {

struct Row {
    std::string_view text;
    bool emptyLineAfter;
};

constexpr std::array<Row, 29> kUsage = {{
    {"USAGE:\tZephScan.exe [options] <image_file_mask>", true},
    {"<image_file_mask>: input image(s)", true},
    {"[options]: configuration string consisting of <flag> <value> pairs: ", false},
    {"  -minconf: minimum confidence value for a decoded barcode", false},
    {"  -mincontrast: minimum contrast value used to locate barcodes", false},
    {"  -bctypes: binary protocol mask derived from the following", false},
    {"\tvalue\tprotocol", false},
    {"\t1\tEAN-13 and UPC-A + 2/5 digits extensions", false},
    {"\t2\tcode-128 - includes code types UCC/EAN-128", false},
    {"\t4\tcode-39", false},
    {"\t8\tcode-93", false},
    {"\t16\tEAN-8", false},
    {"\t32\tUPC-E", false},
    {"\t64\tUPC extensions (2 or 5 digits supplements)", false},
    {"\t128\tInterleaved 2 of 5", false},
    {"\t256\tCODABAR (aka Ames Code/USD-4/NW-7/2 of 7)", false},
    {"\t512\tPatch Codes(1, 2, 3, 4, 6 and T)", false},
    {"  These values are combined to provide a binary mask describing any subset", false},
    {"  of enabled protocols. For example, in order to enable EAN13, EAN8 and UPC-E", false},
    {"  and disable all other protocols, we would set the binary mask property to: ", false},
    {"  (1 + 16 + 32) = 49", false},
    {"(Default configuration: -minconf 0.81 -mincontrast 0.07 -bctypes 959)", true},
    {"EXAMPLES:", false},
    {"ZephScan.exe myimage.jpg", false},
    {"  Will look for all supported types of barcodes that may\r\n  live in the provided JPEG",
     true},
    {"ZephScan.exe -bctypes 6 picsFolder/*.gif", false},
    {"  Will look for code-128 and code-39 barcodes within all\r\n  GIF files stored under "
     "picsFolder/",
     true},
    {"ZephScan.exe -bctypes 1 picsFolder/*.tif > results.xml", false},
    {"  Will look for EAN-13 barcodes within all TIFF files and\r\n  store the results in an XML "
     "file",
     false},
}};

}  // namespace

void PrintUsage() {
    for (const Row& row : kUsage) {
        std::string line(row.text);
        line += row.emptyLineAfter ? "\r\n\r\n" : "\r\n";
        WriteConsoleText(line);
    }
}

}  // namespace zeph::cli
