// zephbarcode._zephbarcode: the C++ API for Python. The reads run with the
// interpreter's lock released, so threads of one process read in parallel.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>
#include <zeph/barcode.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

zeph::ReaderOptions Options(uint32_t symbologies, float minConfidence, float contrast,
                            bool thorough, bool extended, int threads) {
    zeph::ReaderOptions options;
    options.symbologies = zeph::Symbologies::FromMask(symbologies);
    options.minConfidence = minConfidence;
    options.contrastSensitivity = contrast;
    options.thorough = thorough;
    options.extended = extended;
    options.threads = threads;
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
    if (info.strides[1] != channels || (info.ndim == 3 && info.strides[2] != 1)) {
        throw py::value_error("pixels of a row must be packed");
    }
    const zeph::PixelFormat format = channels == 1   ? zeph::PixelFormat::Grey
                                     : channels == 3 ? zeph::PixelFormat::Rgb
                                                     : zeph::PixelFormat::Rgba;
    return zeph::ImageView(static_cast<const uint8_t*>(info.ptr), static_cast<int>(info.shape[1]),
                           static_cast<int>(info.shape[0]), info.strides[0], format);
}

std::string Repr(const zeph::Barcode& b) {
    return "Barcode(symbology=" + py::repr(py::str(b.symbology)).cast<std::string>() +
           ", text=" + py::repr(py::str(b.text)).cast<std::string>() +
           ", confidence=" + std::to_string(b.confidence).substr(0, 5) + ", start=(" +
           std::to_string(b.start.x) + ", " + std::to_string(b.start.y) + "), stop=(" +
           std::to_string(b.stop.x) + ", " + std::to_string(b.stop.y) + "))";
}

}  // namespace

PYBIND11_MODULE(_zephbarcode, m) {
    m.doc() = "The reader's C++ library; use the zephbarcode package instead.";

    py::class_<zeph::Barcode>(m, "Barcode", "One barcode read in a picture.")
        .def_readonly("raw_text", &zeph::Barcode::rawText,
                      "The symbol's characters as read (check and function characters "
                      "included).")
        .def_property_readonly(
            "raw_bytes", [](const zeph::Barcode& b) { return py::bytes(b.rawBytes); },
            "The raw text as the reader gives it: Windows-1252 bytes, as ZephScan prints them.")
        .def_readonly("text", &zeph::Barcode::text,
                      "The data for people: GS1 fields, prices and the like spelled out.")
        .def_readonly("symbology", &zeph::Barcode::symbology, "'EAN-13', 'Code 128', ...")
        .def_readonly("type", &zeph::Barcode::type, "The more specific type: 'UPC-A', ...")
        .def_readonly("descriptor", &zeph::Barcode::descriptor, "What the data means.")
        .def_readonly("confidence", &zeph::Barcode::confidence, "0 to 1.")
        .def_property_readonly(
            "start", [](const zeph::Barcode& b) { return py::make_tuple(b.start.x, b.start.y); },
            "(x, y) of the read line's start, in pixels from the top left corner.")
        .def_property_readonly(
            "stop", [](const zeph::Barcode& b) { return py::make_tuple(b.stop.x, b.stop.y); },
            "(x, y) of the read line's end.")
        // Results travel between processes (a cluster's workers and their client).
        .def(py::pickle(
            [](const zeph::Barcode& b) {
                return py::make_tuple(b.rawText, py::bytes(b.rawBytes), b.text, b.symbology, b.type,
                                      b.descriptor, b.confidence, b.start.x, b.start.y, b.stop.x,
                                      b.stop.y);
            },
            [](const py::tuple& t) {
                if (t.size() != 11) throw std::runtime_error("not a pickled Barcode");
                zeph::Barcode b;
                b.rawText = t[0].cast<std::string>();
                b.rawBytes = t[1].cast<std::string>();
                b.text = t[2].cast<std::string>();
                b.symbology = t[3].cast<std::string>();
                b.type = t[4].cast<std::string>();
                b.descriptor = t[5].cast<std::string>();
                b.confidence = t[6].cast<float>();
                b.start = {t[7].cast<int>(), t[8].cast<int>()};
                b.stop = {t[9].cast<int>(), t[10].cast<int>()};
                return b;
            }))
        .def("__repr__", &Repr)
        .def("__eq__", [](const zeph::Barcode& a, const zeph::Barcode& b) { return a == b; })
        .def("__hash__", [](const zeph::Barcode& b) {
            return py::hash(py::make_tuple(b.rawBytes, b.text, b.symbology, b.start.x, b.start.y,
                                           b.stop.x, b.stop.y));
        });

    // Errors of the library become the Python exceptions callers expect.
    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) std::rethrow_exception(error);
        } catch (const zeph::ReadError& e) {
            switch (e.kind()) {
                case zeph::ReadError::Kind::UnreadableFile:
                    PyErr_SetString(PyExc_OSError, e.what());
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
           float contrast, bool thorough, bool extended, int threads) {
            const zeph::ReaderOptions options =
                Options(symbologies, minConfidence, contrast, thorough, extended, threads);
            py::gil_scoped_release unlocked;
            return zeph::ReadBarcodesFromFile(path, options);
        },
        py::arg("path"), py::arg("symbologies"), py::arg("min_confidence"), py::arg("contrast"),
        py::arg("thorough"), py::arg("extended"), py::arg("threads"));

    m.def(
        "read_encoded",
        [](py::buffer bytes, uint32_t symbologies, float minConfidence, float contrast,
           bool thorough, bool extended, int threads) {
            const py::buffer_info info = bytes.request();
            if (info.ndim != 1 || info.itemsize != 1 || info.strides[0] != 1) {
                throw py::type_error("encoded image bytes must be a contiguous bytes-like object");
            }
            const zeph::ReaderOptions options =
                Options(symbologies, minConfidence, contrast, thorough, extended, threads);
            const std::span<const uint8_t> data(static_cast<const uint8_t*>(info.ptr),
                                                static_cast<size_t>(info.size));
            py::gil_scoped_release unlocked;
            return zeph::ReadBarcodesFromEncoded(data, options);
        },
        py::arg("data"), py::arg("symbologies"), py::arg("min_confidence"), py::arg("contrast"),
        py::arg("thorough"), py::arg("extended"), py::arg("threads"));

    m.def(
        "read_pixels",
        [](py::buffer pixels, int channels, uint32_t symbologies, float minConfidence,
           float contrast, bool thorough, bool extended, int threads) {
            const py::buffer_info info = pixels.request();
            const zeph::ImageView view = PixelView(info, channels);
            const zeph::ReaderOptions options =
                Options(symbologies, minConfidence, contrast, thorough, extended, threads);
            py::gil_scoped_release unlocked;
            return zeph::ReadBarcodes(view, options);
        },
        py::arg("pixels"), py::arg("channels"), py::arg("symbologies"), py::arg("min_confidence"),
        py::arg("contrast"), py::arg("thorough"), py::arg("extended"), py::arg("threads"));

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
}
