#include "ImagingTestSupport.hpp"

#include "platform/media/MetadataKeys.hpp"

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qv::platform::imaging::test {

std::shared_ptr<PixelBuffer> makeBayer(std::size_t width, std::size_t height, FourCharCode format,
                                       unsigned seed, std::uint16_t black, std::uint16_t white) {
    auto buffer = PixelBuffer::make(width, height, format);
    buffer->lock();
    const unsigned range = unsigned(white - black) + 1;
    for (std::size_t y = 0; y < height; ++y) {
        auto* row = buffer->row<std::uint16_t>(y);
        for (std::size_t x = 0; x < width; ++x) {
            const unsigned v = (unsigned(x) * 2654435761u) ^ (unsigned(y) * 40503u) ^ (seed * 97u);
            row[x] = std::uint16_t(black + v % range);
        }
    }
    buffer->unlock();
    return buffer;
}

std::shared_ptr<PixelBuffer> makeGreyBayer(std::size_t width, std::size_t height,
                                           FourCharCode format, double level,
                                           const std::vector<double>& neutral, std::uint16_t black,
                                           std::uint16_t white) {
    auto buffer = PixelBuffer::make(width, height, format);
    const auto pattern = *bayerPattern(format);
    buffer->lock();
    for (std::size_t y = 0; y < height; ++y) {
        auto* row = buffer->row<std::uint16_t>(y);
        for (std::size_t x = 0; x < width; ++x) {
            const auto color = std::size_t(pattern[(y % 2) * 2 + x % 2]);
            row[x] = std::uint16_t(black + level * neutral[color] * (white - black));
        }
    }
    buffer->unlock();
    return buffer;
}

MetadataDictionary rawMetadata(std::uint16_t black, std::uint16_t white,
                               const std::vector<double>& neutral) {
    MetadataDictionary metadata;
    auto& dng = metadata.dictionary(metadata::dngGroup);
    dng.set(metadata::dngBlackLevel, int(black));
    dng.set(metadata::dngWhiteLevel, int(white));
    MetadataList list(neutral.begin(), neutral.end());
    dng.set(metadata::dngAsShotNeutral, list);
    return metadata;
}

MetadataDictionary resultMetadata() {
    MetadataDictionary metadata = rawMetadata(528, 16383, {0.5, 1.0, 0.7});
    metadata.dictionary(metadata::exifGroup).set(metadata::exifExposureTime, 0.008);
    auto& tiff = metadata.dictionary(metadata::tiffGroup);
    tiff.set(metadata::tiffSoftware, "Quarn Vesil 1.0.0");
    tiff.set(metadata::tiffImageDescription, "LT mode 12 frames in 12s 53% battery");
    auto& gps = metadata.dictionary(metadata::gpsGroup);
    gps.set(metadata::gpsLatitude, 33.9);
    gps.set(metadata::gpsLongitude, 18.4);
    gps.set(metadata::gpsLatitudeRef, "S");
    gps.set(metadata::gpsLongitudeRef, "E");
    gps.set(metadata::gpsAltitude, 3);
    gps.set(metadata::gpsAltitudeRef, 1);
    gps.set(metadata::gpsTimeStamp, "21:59:59.500000");
    gps.set(metadata::gpsDateStamp, "2024:03:31");
    gps.set(metadata::gpsVersion, "2.2.0.0");
    return metadata;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qv-imaging-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "could not make a temp folder";
    }
    folder = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::filesystem::path TempFolder::write(const std::string& name, const FileData& data) const {
    const auto path = folder / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return path;
}

bool toolOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string dir = rest.substr(0, colon);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
    }
    return false;
}

ToolRun runTool(const std::string& program, const std::vector<std::string>& arguments) {
    ToolRun run;
    if (!toolOnPath(program)) {
        ADD_FAILURE() << program << " is not on PATH; install it (scripts/setup-deps) to run the "
                      << "file checks";
        return run;
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::array<char, 4096> chunk;
    ssize_t n = 0;
    while ((n = read(pipeFds[0], chunk.data(), chunk.size())) > 0) {
        run.output.append(chunk.data(), std::size_t(n));
    }
    close(pipeFds[0]);
    if (spawned != 0) {
        ADD_FAILURE() << "could not start " << program;
        return run;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void expectValid(const std::filesystem::path& path) {
    const auto run = runTool("exiftool", {"-validate", "-warning", "-a", path.string()});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find(": OK"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Warning"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Error"), std::string::npos) << run.output;
}

} // namespace qv::platform::imaging::test
