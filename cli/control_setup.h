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

// The "-BCTYPES" values of the symbologies and interpretations the extended
// search adds to ZephScan's default (the engine knows them by the same values).
inline constexpr int32_t kDefaultMask = 959;
inline constexpr int32_t kDataBar = 1024;
inline constexpr int32_t kDataBarLimited = 2048;
inline constexpr int32_t kDataBarExpanded = 4096;
inline constexpr int32_t kTelepen = 8192;
inline constexpr int32_t kCode32 = 4194304;
inline constexpr int32_t kPharmazentralnummer = 8388608;
inline constexpr int32_t kItf14 = 16777216;
// What ZephScan reads with the extended search on and no "-BCTYPES".
inline constexpr int32_t kExtendedDefaultMask = kDefaultMask | kDataBar | kDataBarLimited |
                                                kDataBarExpanded | kTelepen | kCode32 |
                                                kPharmazentralnummer | kItf14;

// A new control on the calling thread (whose component layer is started);
// empty, with the reason in `hr`, when it cannot be created.
ComPtr<IDispatch> CreateReaderControl(HRESULT& hr);

// The start values, as the types clients have always passed them, then the
// options in order (those of ZephScan's own, "-THREADS", "-FORMAT",
// "-PAGES", "-DPI" and "-PROGRESS", are not the control's); last, with the
// extended search on and no "-BCTYPES" given, the extended default mask.
// False when an option cannot be applied, that option then in `refused` when
// given.
bool SetUpControl(IDispatch& control, const std::vector<Option>& options,
                  const Option** refused = nullptr);

// A worker thread's own control: starts the component layer on the thread,
// creates and sets up the control there, and ends both with the reader.
class ControlFileReader final : public FileReader {
  public:
    // nullptr when the thread's control cannot be had.
    static std::unique_ptr<ControlFileReader> Make(const std::vector<Option>& options,
                                                   const ReportSettings& settings,
                                                   int32_t searchThreads);
    ~ControlFileReader() override;
    FileReport Read(const std::string& path) noexcept override;

  private:
    explicit ControlFileReader(const ReportSettings& settings) : settings_(settings) {}
    const ReportSettings& settings_;
    bool started_ = false;
    ComPtr<IDispatch> control_;
};

// The calling thread's existing control as a reader.
class BorrowedFileReader final : public FileReader {
  public:
    BorrowedFileReader(IDispatch& control, const ReportSettings& settings)
        : control_(control), settings_(settings) {}
    FileReport Read(const std::string& path) noexcept override {
        return ReportFile(control_, path, settings_);
    }

  private:
    IDispatch& control_;
    const ReportSettings& settings_;
};

}  // namespace zeph::cli
