// zephbarcode._zephbarcode: the C++ API for Python. The reads run with the
// interpreter's lock released, so threads of one process read in parallel.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>
#include <zeph/barcode.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

zeph::ReaderOptions Options(uint32_t symbologies, float minConfidence, float contrast,
                            bool thorough, bool extended, int threads, bool allPages) {
    zeph::ReaderOptions options;
    options.symbologies = zeph::Symbologies::FromMask(symbologies);
    options.minConfidence = minConfidence;
    options.contrastSensitivity = contrast;
    options.thorough = thorough;
    options.extended = extended;
    options.threads = threads;
    options.allPages = allPages;
    return options;
}

// A uint8 array of rows whose pixels and samples are packed (any row stride,
// negative included): the package makes other layouts so.
zeph::ImageView PixelView(const py::buffer_info& info, int channels) {
    if (info.itemsize != 1 || info.ndim < 2 || info.ndim > 3) {
        throw py::type_error("pixels must be a 2- or 3-dimensional uint8 array");
    }
    if (channels != 1 && channels != 3 && channels != 4) {
        throw py::value_error("pixels must have 1, 3 or 4 channels");
    }
    // The library's sizes are ints: a larger dimension must not wrap into a
    // small picture.
    constexpr py::ssize_t kMostSide = std::numeric_limits<int>::max();
    if (info.shape[0] > kMostSide || info.shape[1] > kMostSide) {
        throw py::value_error("image too large: a side of 2^31 pixels or more");
    }
    if (info.strides[1] != channels || (info.ndim == 3 && info.strides[2] != 1)) {
        throw py::value_error("pixels of a row must be packed");
    }
    const zeph::PixelFormat format = channels == 1   ? zeph::PixelFormat::Grey
                                     : channels == 3 ? zeph::PixelFormat::Rgb
                                                     : zeph::PixelFormat::Rgba;
    return zeph::ImageView(static_cast<const uint8_t*>(info.ptr), static_cast<int>(info.shape[1]),
                           static_cast<int>(info.shape[0]), info.strides[0], format);
}

// One read as a tuple; the package makes its Barcode objects of them.
py::tuple AsTuple(const zeph::Barcode& b) {
    return py::make_tuple(b.rawText, py::bytes(b.rawBytes), b.text, b.symbology, b.type,
                          b.descriptor, b.confidence, py::make_tuple(b.start.x, b.start.y),
                          py::make_tuple(b.stop.x, b.stop.y), b.page);
}

py::list AsTuples(const std::vector<zeph::Barcode>& barcodes) {
    py::list out;
    for (const zeph::Barcode& b : barcodes)
        out.append(AsTuple(b));
    return out;
}

}  // namespace

PYBIND11_MODULE(_zephbarcode, m) {
    m.doc() = "The reader's C++ library; use the zephbarcode package instead.";

    // A file that cannot be read: the package turns it into the OSError of
    // the file's own failure (FileNotFoundError, with errno and filename, ...).
    py::exception<zeph::ReadError>(m, "UnreadableFile", PyExc_OSError);
    // Not owning: the module holds the class for as long as translations run.
    static py::handle unreadable;
    unreadable = m.attr("UnreadableFile");

    // Errors of the library become the Python exceptions callers expect.
    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) std::rethrow_exception(error);
        } catch (const zeph::ReadError& e) {
            switch (e.kind()) {
                case zeph::ReadError::Kind::UnreadableFile:
                    PyErr_SetString(unreadable.ptr(), e.what());
                    return;
                case zeph::ReadError::Kind::OutOfMemory:
                    PyErr_SetString(PyExc_MemoryError, e.what());
                    return;
                default:
                    PyErr_SetString(PyExc_ValueError, e.what());
                    return;
            }
        }
    });

    m.def(
        "read_file",
        [](const std::filesystem::path& path, uint32_t symbologies, float minConfidence,
           float contrast, bool thorough, bool extended, int threads, bool allPages) {
            const zeph::ReaderOptions options =
                Options(symbologies, minConfidence, contrast, thorough, extended, threads, allPages);
            std::vector<zeph::Barcode> found;
            {
                py::gil_scoped_release unlocked;
                found = zeph::ReadBarcodesFromFile(path, options);
            }
            return AsTuples(found);
        },
        py::arg("path"), py::arg("symbologies"), py::arg("min_confidence"), py::arg("contrast"),
        py::arg("thorough"), py::arg("extended"), py::arg("threads"), py::arg("all_pages"));

    m.def(
        "read_encoded",
        [](py::buffer bytes, uint32_t symbologies, float minConfidence, float contrast,
           bool thorough, bool extended, int threads, bool allPages) {
            const py::buffer_info info = bytes.request();
            if (info.ndim != 1 || info.itemsize != 1 || info.strides[0] != 1) {
                throw py::type_error("encoded image bytes must be a contiguous bytes-like object");
            }
            const zeph::ReaderOptions options =
                Options(symbologies, minConfidence, contrast, thorough, extended, threads, allPages);
            const std::span<const uint8_t> data(static_cast<const uint8_t*>(info.ptr),
                                                static_cast<size_t>(info.size));
            std::vector<zeph::Barcode> found;
            {
                py::gil_scoped_release unlocked;
                found = zeph::ReadBarcodesFromEncoded(data, options);
            }
            return AsTuples(found);
        },
        py::arg("data"), py::arg("symbologies"), py::arg("min_confidence"), py::arg("contrast"),
        py::arg("thorough"), py::arg("extended"), py::arg("threads"), py::arg("all_pages"));

    m.def(
        "read_pixels",
        [](py::buffer pixels, int channels, uint32_t symbologies, float minConfidence,
           float contrast, bool thorough, bool extended, int threads, bool allPages) {
            const py::buffer_info info = pixels.request();
            const zeph::ImageView view = PixelView(info, channels);
            const zeph::ReaderOptions options =
                Options(symbologies, minConfidence, contrast, thorough, extended, threads, allPages);
            std::vector<zeph::Barcode> found;
            {
                py::gil_scoped_release unlocked;
                found = zeph::ReadBarcodes(view, options);
            }
            return AsTuples(found);
        },
        py::arg("pixels"), py::arg("channels"), py::arg("symbologies"), py::arg("min_confidence"),
        py::arg("contrast"), py::arg("thorough"), py::arg("extended"), py::arg("threads"), py::arg("all_pages"));

    // For bench/python_bench.py: the C++ API's own time on the same pixels,
    // in this process, without the package around it (milliseconds).
    m.def(
        "_time_cpp_read",
        [](py::buffer pixels, int channels) {
            const py::buffer_info info = pixels.request();
            const zeph::ImageView view = PixelView(info, channels);
            py::gil_scoped_release unlocked;
            const auto start = std::chrono::steady_clock::now();
            zeph::ReadBarcodes(view);
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                             start)
                .count();
        },
        py::arg("pixels"), py::arg("channels"));

    m.attr("__version__") = zeph::Version();
    // The library's masks and size limit, so that the package does not repeat them.
    m.attr("DEFAULT_MASK") = zeph::Symbologies::Default().Mask();
    m.attr("ALL_MASK") = zeph::Symbologies::All().Mask();
    m.attr("MOST_PIXELS") = uint64_t{1} << 28;
}
