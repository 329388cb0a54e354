#include "imaging/tiff_library.h"

#include "imaging/shared_library.h"

namespace zeph::imaging::detail {

namespace {

bool BindTiff(SymbolBinder& bind, TiffLibrary& f) {
    return bind("TIFFSetErrorHandler", f.setErrorHandler) &&
           bind("TIFFSetWarningHandler", f.setWarningHandler) &&
           bind("TIFFOpenOptionsAlloc", f.optionsAlloc) &&
           bind("TIFFOpenOptionsFree", f.optionsFree) &&
           bind("TIFFOpenOptionsSetErrorHandlerExtR", f.optionsSetErrorHandler) &&
           bind("TIFFOpenOptionsSetWarningHandlerExtR", f.optionsSetWarningHandler) &&
           bind("TIFFOpenOptionsSetMaxSingleMemAlloc", f.optionsSetMaxSingleAllocation) &&
           bind("TIFFClientOpenExt", f.clientOpen) && bind("TIFFClose", f.close) &&
           bind("TIFFGetField", f.getField) && bind("TIFFGetFieldDefaulted", f.getFieldDefaulted) &&
           bind("TIFFIsTiled", f.isTiled) && bind("TIFFNumberOfTiles", f.numberOfTiles) &&
           bind("TIFFNumberOfStrips", f.numberOfStrips) &&
           bind("TIFFLastDirectory", f.lastDirectory) &&
           bind("TIFFReadDirectory", f.readDirectory) && bind("TIFFRGBAImageOK", f.rgbaImageOk) &&
           bind("TIFFReadRGBAImageOriented", f.readRgbaImage);
}

}  // namespace

const TiffLibrary* LoadTiff(std::string& error) {
    static const Library<TiffLibrary> tiff(ZEPH_TIFF_SONAME, BindTiff);
    return tiff.Get(error);
}

}  // namespace zeph::imaging::detail
