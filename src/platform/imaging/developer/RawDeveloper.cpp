// The RAW developer: LibRaw in a process of its own, so that a file that
// crashes LibRaw cannot take the app down (detail/RawDeveloperProcess.hpp).
//   qv-raw-developer [--half-size | --mosaic] < file.dng > answer
// Reads the whole file from standard input, develops it neutrally (as-shot
// white balance, the file's colour matrix, linear, no brightening, no
// highlight recovery) into 16-bit linear ProPhoto RGB and writes the answer
// described in detail/DevelopmentAnswer.hpp; with --mosaic it only unpacks
// the sensor data and writes that (MosaicAnswerWriter.hpp).

#include "MosaicAnswerWriter.hpp"
#include "platform/imaging/ImageLimits.hpp"
#include "platform/imaging/detail/DevelopmentAnswer.hpp"

#include <cerrno>
#include <cstring>
#include <libraw/libraw.h>
#include <memory>
#include <string_view>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace qv::platform::imaging;
using detail::DevelopmentAnswer;
using developer::writeAll;

namespace {

// LibRaw's output space that keeps every colour a camera records.
constexpr int libRawProPhoto = 4;
// A file no development finishes within this much processor time is given up.
constexpr rlim_t cpuSeconds = 120;

std::vector<unsigned char> readAll(int fd) {
    std::vector<unsigned char> bytes;
    unsigned char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) {
            return bytes;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::_exit(3);
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
}

// Ends the process without running exit handlers: the answer is complete, and
// LibRaw's state needs no tidying.
[[noreturn]] void answerError(int code, std::string_view message) {
    DevelopmentAnswer answer;
    answer.status = code == 0 ? -1 : code;
    answer.messageBytes = std::uint32_t(message.size());
    writeAll(&answer, sizeof answer);
    writeAll(message.data(), message.size());
    ::_exit(0);
}

struct ProcessedImageDeleter {
    void operator()(libraw_processed_image_t* p) const { LibRaw::dcraw_clear_mem(p); }
};

} // namespace

int main(int argc, char** argv) {
    const rlimit cpu{cpuSeconds, cpuSeconds};
    ::setrlimit(RLIMIT_CPU, &cpu);
    const bool halfSize = argc > 1 && std::strcmp(argv[1], detail::halfSizeOption) == 0;
    const bool mosaic = argc > 1 && std::strcmp(argv[1], detail::mosaicOption) == 0;
    std::vector<unsigned char> file = readAll(STDIN_FILENO);

    // LibRaw keeps large tables inside the object: on the heap.
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    auto& params = raw->imgdata.params;
    params.use_camera_wb = 1;
    params.use_camera_matrix = 1;
    params.output_color = libRawProPhoto;
    params.output_bps = 16;
    params.gamm[0] = 1.0;
    params.gamm[1] = 1.0;
    params.no_auto_bright = 1;
    params.bright = 1.0f;
    params.highlight = 0;
    params.exp_correc = 0;
    params.half_size = halfSize ? 1 : 0;
    params.user_qual = halfSize ? 0 : 3; // bilinear at half size, AHD at full size
    params.user_flip = 0; // rows as stored: the caller shows them by the file's Orientation
    params.max_raw_memory_mb = unsigned(maximumLibraryAllocation >> 20);

    int code = raw->open_buffer(file.data(), file.size());
    if (code == LIBRAW_SUCCESS) {
        code = raw->unpack();
    }
    if (mosaic) {
        developer::writeMosaicAnswer(*raw, code);
        ::_exit(0);
    }
    if (code == LIBRAW_SUCCESS) {
        code = raw->dcraw_process();
    }
    if (code != LIBRAW_SUCCESS) {
        answerError(code, libraw_strerror(code));
    }
    std::unique_ptr<libraw_processed_image_t, ProcessedImageDeleter> processed(
        raw->dcraw_make_mem_image(&code));
    if (!processed) {
        answerError(code, libraw_strerror(code));
    }
    const std::size_t bytes = std::size_t(processed->width) * processed->height * 6;
    if (processed->type != LIBRAW_IMAGE_BITMAP || processed->colors != 3 || processed->bits != 16 ||
        processed->data_size != bytes) {
        answerError(-1, "unexpected output layout");
    }
    DevelopmentAnswer answer;
    answer.width = processed->width;
    answer.height = processed->height;
    writeAll(&answer, sizeof answer);
    writeAll(processed->data, bytes);
    ::_exit(0);
}

namespace qv::platform::imaging::developer {

void writeAll(const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::_exit(3);
        }
        p += n;
        size -= std::size_t(n);
    }
}

} // namespace qv::platform::imaging::developer
