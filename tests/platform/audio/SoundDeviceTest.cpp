// Sound through SDL's own drivers: none that works, and the disk driver, which writes the
// samples it plays into a file instead of a sound card.

#include "StubPrograms.hpp"
#include "TestHome.hpp"
#include "platform/audio/ShutterClick.hpp"
#include "platform/audio/SoundOutput.hpp"
#include "platform/audio/SystemSound.hpp"
#include "platform/console/Console.hpp"
#include "platform/system/OutputVolume.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

namespace qv::platform {
namespace {

using testing::EnvironmentOverride;

TEST(SoundDevice, WithoutADeviceOneLineSaysSoAndSoundsStaySilent) {
    EnvironmentOverride driver("SDL_AUDIODRIVER", "no-such-driver");
    ConsoleCapture console;
    playSystemSound(kShutterSound);
    playSystemSound(kShutterSound);
    const std::string printed = console.text();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1);
    EXPECT_EQ(printed.rfind("There is no sound device; sounds stay silent", 0), 0u);
    EXPECT_EQ(SoundOutput::shared().pendingBytes(), 0u);
    SoundOutput::shared().close();
}

// What the process writes on its standard error (file descriptor 2) while it lives, kept
// in `file`.
class StandardErrorCapture {
public:
    explicit StandardErrorCapture(std::filesystem::path file) : file_(std::move(file)) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StandardErrorCapture() { restore(); }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    std::string text() {
        restore();
        std::ifstream in(file_);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
            saved_ = -1;
        }
    }
    std::filesystem::path file_;
    int saved_ = -1;
};

// ALSA without a device it can open (its default names a device that does not exist): its
// library's own lines ("ALSA lib pcm.c:...: Unknown PCM ...") stay off standard error, and
// our one line says what it means.
TEST(SoundDevice, WithoutAnAlsaDeviceOnlyOurLineIsPrinted) {
    const std::filesystem::path folder = testing::freshTestFolder();
    const std::filesystem::path config = folder / "alsa.conf";
    std::ofstream(config) << "pcm.!default { type plug slave.pcm \"qv_no_such_pcm\" }\n";
    EnvironmentOverride driver("SDL_AUDIODRIVER", "alsa");
    EnvironmentOverride alsa("ALSA_CONFIG_PATH", config.string());
    ConsoleCapture console;
    StandardErrorCapture standardError(folder / "stderr.txt");
    playSystemSound(kShutterSound);
    EXPECT_EQ(standardError.text(), "");
    const std::string printed = console.text();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
    EXPECT_EQ(printed.rfind("There is no sound device; sounds stay silent (", 0), 0u) << printed;
    SoundOutput::shared().close();
}

TEST(SoundDevice, TheClickReachesTheDeviceWholeAndScaledByTheVolume) {
    const std::filesystem::path file = testing::freshTestFolder() / "sound.raw";
    EnvironmentOverride driver("SDL_AUDIODRIVER", "disk");
    EnvironmentOverride output("SDL_DISKAUDIOFILE", file.string());
    EnvironmentOverride noDelay("SDL_DISKAUDIODELAY", "0"); // write at once, not in real time
    OutputVolume::shared().setLevel(0.5f);
    ConsoleCapture console;

    playSystemSound(kShutterSound);
    while (SoundOutput::shared().pendingBytes() > 0) {
        // The driver takes the queue as fast as it can write.
    }
    SoundOutput::shared().close();
    EXPECT_EQ(console.text(), "");

    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<float> written(bytes.size() / sizeof(float));
    std::memcpy(written.data(), bytes.data(), written.size() * sizeof(float));
    std::vector<float> expected = shutterClick(SoundOutput::kSampleRate);
    for (float& sample : expected) {
        sample *= 0.5f;
    }
    // Somewhere among the silence the device played before and after, the whole click.
    const auto found =
        std::search(written.begin(), written.end(), expected.begin(), expected.end());
    ASSERT_NE(found, written.end());
    EXPECT_TRUE(std::all_of(written.begin(), found, [](float s) { return s == 0; }));
}

} // namespace
} // namespace qv::platform
