// The reader control as ZephScan uses it: created by ProgID, given the start
// values and the command line's options, and asked file by file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/ordered_reading.h"
#include "platform/com.h"

namespace zeph::cli {

// The barcode types ZephScan reads when its command line names none and the
// extended search is on: its start value 959 and the symbologies that only the
// extended search reads, 1024 (GS1 DataBar), 2048 (GS1 DataBar Limited) and
// 4096 (GS1 DataBar Expanded).
inline constexpr int32_t kExtendedBarcodeTypes = 959 | 1024 | 2048 | 4096;

// A new control on the calling thread (whose component layer is started);
// empty, with the reason in `hr`, when it cannot be created.
ComPtr<IDispatch> CreateReaderControl(HRESULT& hr);

// The start values, as the types clients have always passed them, then the
// options in order ("-THREADS" is ZephScan's own and not the control's);
// without "-BCTYPES" and with the extended search on, kExtendedBarcodeTypes
// last. False when an option cannot be applied.
bool SetUpControl(IDispatch& control, const std::vector<Option>& options);

// The file's block. Afterwards the control is handed a one-pixel picture, so
// that it lets go of the file's picture and raster before the next file is
// decoded. An exception inside (memory) makes the block an internal error.
std::string ReadFileBlock(IDispatch& control, const std::string& path) noexcept;

// A worker thread's own control: starts the component layer on the thread,
// creates and sets up the control there, and ends both with the reader.
class ControlFileReader final : public FileReader {
  public:
    // nullptr when the thread's control cannot be had.
    static std::unique_ptr<ControlFileReader> Make(const std::vector<Option>& options,
                                                   int32_t searchThreads);
    ~ControlFileReader() override;
    std::string Read(const std::string& path) noexcept override;

  private:
    ControlFileReader() = default;
    bool started_ = false;
    ComPtr<IDispatch> control_;
};

// The calling thread's existing control as a reader.
class BorrowedFileReader final : public FileReader {
  public:
    explicit BorrowedFileReader(IDispatch& control) : control_(control) {}
    std::string Read(const std::string& path) noexcept override {
        return ReadFileBlock(control_, path);
    }

  private:
    IDispatch& control_;
};

}  // namespace zeph::cli
