// libtiff, loaded when the first TIFF file is read (see shared_library.h):
// with the codecs it depends on, the slowest of the decoders to load.
#pragma once

#include <tiffio.h>

#include <string>

namespace zeph::imaging::detail {

struct TiffLibrary {
    decltype(&TIFFSetErrorHandler) setErrorHandler;
    decltype(&TIFFSetWarningHandler) setWarningHandler;
    decltype(&TIFFOpenOptionsAlloc) optionsAlloc;
    decltype(&TIFFOpenOptionsFree) optionsFree;
    decltype(&TIFFOpenOptionsSetErrorHandlerExtR) optionsSetErrorHandler;
    decltype(&TIFFOpenOptionsSetWarningHandlerExtR) optionsSetWarningHandler;
    decltype(&TIFFOpenOptionsSetMaxSingleMemAlloc) optionsSetMaxSingleAllocation;
    decltype(&TIFFClientOpenExt) clientOpen;
    decltype(&TIFFClose) close;
    decltype(&TIFFGetField) getField;
    decltype(&TIFFGetFieldDefaulted) getFieldDefaulted;
    decltype(&TIFFIsTiled) isTiled;
    decltype(&TIFFNumberOfTiles) numberOfTiles;
    decltype(&TIFFNumberOfStrips) numberOfStrips;
    decltype(&TIFFLastDirectory) lastDirectory;
    decltype(&TIFFReadDirectory) readDirectory;
    decltype(&TIFFRGBAImageOK) rgbaImageOk;
    decltype(&TIFFReadRGBAImageOriented) readRgbaImage;
};

// Null, with `error` naming the reason, when the library cannot be loaded.
const TiffLibrary* LoadTiff(std::string& error);

}  // namespace zeph::imaging::detail
