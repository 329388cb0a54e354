#include "cli/help.h"

namespace zeph::cli {

std::string HelpText(bool pdf) {
    std::string text = R"(Usage: ZephScan [OPTION VALUE]... MASK...
Reads the one-dimensional barcodes of every image file the masks name and
prints one report on standard output (XML unless -format says otherwise).

Masks
  Every token that is neither an option nor an option's value is a mask, read
  in command-line order; each mask's files are read in name order. A mask
  holds * (any run of characters) and ? (any one character) in its last part
  only; names beginning with a dot are not listed. A mask that does not begin
  with / (or \) starts at the folder that holds ZephScan, not at the current
  folder: give absolute masks, as "$PWD"/*.jpg. "-" reads one picture from
  standard input. Files are known by their content: JPEG, PNG, GIF, TIFF, WebP,
  HEIC, AVIF, BMP, PNM and TGA)";
    text += pdf ? ", and PDF.\n" : ".\n";
    text += R"(
Options (names in any letter case; each value is the token after the name;
options are read only before the last two tokens)
  -minconf X       least confidence of a reported barcode, 0 to 1 (0.81)
  -mincontrast X   contrast sensitivity of the search (0.07)
  -bctypes N       symbologies, a sum of: 1 EAN-13/UPC-A, 2 Code 128,
                   4 Code 39, 8 Code 93, 16 EAN-8, 32 UPC-E, 64 EAN/UPC
                   add-ons alone, 128 Interleaved 2 of 5, 256 Codabar,
                   512 Patch codes (959: all but 64)
  -extended 0|1    1: the extended search reads what the thorough search
                   missed (1)
  -threads N       worker threads, 1 to 256 (the processors available)
  -format F        xml: the XML report (default); json: one JSON object per
                   file and line; text: "FILE: SYMBOLOGY: TEXT" per barcode
  -pages first|all every page of a multi-page TIFF or PDF and every frame of
                   a GIF or animated WebP, or the first alone (first); when
                   given, each barcode names its page
  -dpi N           resolution of PDF pages, 1 to 2400 (300)
  -progress 0|1    1: a progress line on standard error (0)
  --help, -help, -h, -?   this help;  --version   the version

Failures are reported in the report and, with the file name and the reason,
on standard error.

Exit status
  0  every mask named files and every file was read
  1  the reader control could not be created
  2  bad command line (the usage text follows on standard output)
  3  a mask named no file, or a file could not be read
  4  the report could not be written (the reader of the output went away, or
     the disk is full); the run ends at once
)";
    return text;
}

std::string VersionText(bool pdf) {
    return std::string("ZephScan 1.0.0\n") +
           (pdf ? "PDF pages rendered with poppler (GPL)\n" : "built without PDF reading\n");
}

}  // namespace zeph::cli
