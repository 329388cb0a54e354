// One file's report block against a scripted control: the error endings of a
// block, which the real control gives only when memory or the engine fails.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "cli/report.h"
#include "control/dispatch_ids.h"

namespace {

using namespace zeph::cli;
using namespace zeph::reader_dispid;
namespace fs = std::filesystem;

// Answers every call from its script: a count, and for match i the texts
// "raw i", "sym i", ..., confidence 0.5 and points 10 i to 13 i.
class ScriptedReader final : public IDispatch {
  public:
    HRESULT QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    HRESULT GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const*, uint32_t, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO*, uint32_t*) override {
        if (flags & DISPATCH_PROPERTYPUT) {
            pictures += id == kPicture ? 1 : 0;
            return id == kPicture && acceptsPicture ? S_OK : E_FAIL;
        }
        if (id == kNbCodesFound) {
            if (countFails) return E_FAIL;
            result->vt = VT_I4;
            result->lVal = count;
            return S_OK;
        }
        const int index = params->rgvarg[0].iVal;
        if (id == failingId && index == failingIndex) return E_FAIL;
        const auto text = [&](const char16_t* stem) {
            const std::u16string value = stem + std::u16string(1, char16_t(u'0' + index));
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(value.c_str());
            return S_OK;
        };
        switch (id) {
            case kRawData:
                return text(u"raw ");
            case kSymbology:
                return text(u"sym ");
            case kBarcodeType:
                return text(u"type ");
            case kDataDescriptor:
                return text(u"desc ");
            case kData:
                return text(u"data ");
            case kConfidence:
                result->vt = VT_R4;
                result->fltVal = 0.5f;
                return S_OK;
            case kStartx:
            case kStarty:
            case kStopx:
            case kStopy:
                result->vt = VT_I4;
                result->lVal = 10 * index + (id - kStartx);
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

    bool acceptsPicture = true;
    bool countFails = false;
    int32_t count = 0;
    DISPID failingId = 0;
    int failingIndex = 0;
    int pictures = 0;
};

constexpr const char* kInternalError =
    "\t<Status>ERROR: Internal error caught from within ZephBarcode's core</Status>\r\n";

class FileBlock : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("zeph-file-block-" + std::to_string(getpid()));
        fs::create_directories(folder_);
        image_ = (folder_ / "pixel.ppm").string();
        std::ofstream(image_, std::ios::binary) << "P6 1 1 255\n" << std::string(3, '\x80');
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Head() const {
        return "<ZephScanResult>\r\n\t<FileName>" + image_ + "</FileName>\r\n";
    }
    static std::string Match(int i) {
        const std::string n = std::to_string(i);
        return "\t<BarcodeMatch>\r\n\t\t<RawData>raw " + n + "</RawData>\r\n\t\t<Symbology>sym " +
               n + "</Symbology>\r\n\t\t<BarcodeType>type " + n +
               "</BarcodeType>\r\n\t\t<DataDescriptor>desc " + n +
               "</DataDescriptor>\r\n\t\t<Data>data " + n +
               "</Data>\r\n\t\t<Confidence>0.500</Confidence>\r\n\t\t<Startx>" + n +
               "0</Startx>\r\n\t\t<Starty>" + n + "1</Starty>\r\n\t\t<Stopx>" + n +
               "2</Stopx>\r\n\t\t<Stopy>" + n + "3</Stopy>\r\n\t</BarcodeMatch>\r\n";
    }

    fs::path folder_;
    std::string image_;
    ScriptedReader reader_;
};

TEST_F(FileBlock, MatchesInIndexOrder) {
    reader_.count = 2;
    EXPECT_EQ(ProcessImageFile(reader_, image_),
              Head() + "\t<Status>OK</Status>\r\n\t<NbCodes>2</NbCodes>\r\n" + Match(1) + Match(2) +
                  "</ZephScanResult>\r\n");
    // The page's picture, then the one-pixel picture that lets it go.
    EXPECT_EQ(reader_.pictures, 2);
}

TEST_F(FileBlock, EngineFailureIsAnInternalErrorNotACount) {
    reader_.count = -1;
    EXPECT_EQ(ProcessImageFile(reader_, image_), Head() + kInternalError + "</ZephScanResult>\r\n");
    reader_.count = 0;
    reader_.countFails = true;
    EXPECT_EQ(ProcessImageFile(reader_, image_), Head() + kInternalError + "</ZephScanResult>\r\n");
}

TEST_F(FileBlock, FailedMatchKeepsTheMatchesBeforeIt) {
    reader_.count = 3;
    reader_.failingIndex = 2;
    for (DISPID id : {kRawData, kConfidence, kStopy, kData}) {
        reader_.failingId = id;
        EXPECT_EQ(ProcessImageFile(reader_, image_),
                  Head() + "\t<Status>OK</Status>\r\n\t<NbCodes>3</NbCodes>\r\n" + Match(1) +
                      kInternalError + "</ZephScanResult>\r\n")
            << "failing id " << id;
    }
}

TEST_F(FileBlock, RefusedPictureIsAFailedOpen) {
    reader_.acceptsPicture = false;
    reader_.count = 1;
    EXPECT_EQ(ProcessImageFile(reader_, image_), Head() + "\t<Status>ERROR: Failed to open " +
                                                     image_ + "</Status>\r\n</ZephScanResult>\r\n");
}

// Anyone who can write to the scanned folder can put a FIFO, a socket or a
// device where a listed file was. Opening a FIFO without a writer would block
// for ever; each must be a failed open, and the files after it still read.
TEST_F(FileBlock, FifoSocketOrDeviceInAFilesPlaceIsAFailedOpen) {
    reader_.count = 1;
    const std::string failed =
        Head() + "\t<Status>ERROR: Failed to open " + image_ + "</Status>\r\n</ZephScanResult>\r\n";
    const std::string read = ProcessImageFile(reader_, image_);
    ASSERT_NE(read, failed);

    const auto swapIn = [&](const std::function<void()>& make) {
        fs::remove(image_);
        make();
        const std::string block = ProcessImageFile(reader_, image_);
        fs::remove(image_);
        std::ofstream(image_, std::ios::binary) << "P6 1 1 255\n" << std::string(3, '\x80');
        return block;
    };
    EXPECT_EQ(swapIn([&] { ASSERT_EQ(mkfifo(image_.c_str(), 0600), 0); }), failed);

    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listening, 0);
    EXPECT_EQ(swapIn([&] {
                  sockaddr_un address{};
                  address.sun_family = AF_UNIX;
                  ASSERT_LT(image_.size(), sizeof address.sun_path);
                  image_.copy(address.sun_path, image_.size());
                  ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address),
                            0);
                  ASSERT_EQ(listen(listening, 1), 0);
              }),
              failed);
    close(listening);

    // Character devices that would give endless bytes or none at all.
    for (const char* device : {"/dev/zero", "/dev/null", "/dev/tty"}) {
        if (!fs::exists(device)) continue;
        EXPECT_EQ(swapIn([&] { fs::create_symlink(device, image_); }), failed) << device;
    }
    EXPECT_EQ(ProcessImageFile(reader_, image_), read);
}

}  // namespace
