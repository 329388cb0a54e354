#include "pdf/pdf_module.h"
#include "pdf/pdf_format.h"

extern "C" __attribute__((visibility("default"))) const zeph::imaging::ImageFormat*
ZephScanPdfFormat() {
    return &zeph::pdf::PdfFormat();
}
