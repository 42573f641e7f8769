// The session and its outputs on the virtual clock, with an in-memory camera: photo
// requests and their callbacks, live frames, the preview layer, discovery.
#include "platform/capture/CaptureSession.hpp"

#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/capture/CapturePhotoOutput.hpp"
#include "platform/capture/CaptureVideoDataOutput.hpp"
#include "platform/capture/CaptureVideoPreviewLayer.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

namespace key = metadata;

// Records what a photo request's delegate hears, with the virtual time of each call.
struct RecordingDelegate : PhotoCaptureDelegate {
    std::vector<std::string> calls;
    std::vector<std::shared_ptr<CapturedPhoto>> photos;
    std::vector<std::optional<CaptureError>> photoErrors;
    std::optional<CaptureError> finishError;
    MonotonicTime willCaptureAt{};
    std::vector<MonotonicTime> photoAt;

    void willBeginCapture(const ResolvedPhotoSettings&) override { calls.push_back("willBegin"); }
    void willCapturePhoto(const ResolvedPhotoSettings&) override {
        calls.push_back("willCapture");
        willCaptureAt = monotonicNow();
    }
    void didFinishProcessingPhoto(const std::shared_ptr<CapturedPhoto>& photo,
                                  const std::optional<CaptureError>& error) override {
        calls.push_back("photo");
        photos.push_back(photo);
        photoErrors.push_back(error);
        photoAt.push_back(monotonicNow());
    }
    void didFinishCapture(const ResolvedPhotoSettings&,
                          const std::optional<CaptureError>& error) override {
        calls.push_back("finish");
        finishError = error;
    }
};

struct CountingVideoDelegate : VideoDataOutputSampleBufferDelegate {
    int frames = 0;
    int withoutImage = 0;
    std::function<void()> whileHandling;
    void didOutputSampleBuffer(const SampleBuffer& sample, const CaptureConnection&) override {
        ++frames;
        withoutImage += sample.imageBuffer == nullptr ? 1 : 0;
        if (whileHandling) {
            whileHandling();
        }
    }
};

CaptureDeviceState smallCamera() {
    CaptureDeviceState s;
    s.activeFormat.photoDimensions = {160, 120};
    s.activeFormat.previewDimensions = {80, 60};
    s.activeFormat.videoDimensions = {96, 72};
    s.activeFormat.maxExposureDuration = MediaTime::fromSeconds(30);
    s.formats = {s.activeFormat};
    return s;
}

class CaptureSessionTest : public ::testing::Test {
protected:
    VirtualDispatch dispatch;
    std::shared_ptr<InMemoryCaptureDevice> camera =
        std::make_shared<InMemoryCaptureDevice>(smallCamera());
    std::shared_ptr<CaptureSession> session = std::make_shared<CaptureSession>();
    std::shared_ptr<CapturePhotoOutput> photoOutput = std::make_shared<CapturePhotoOutput>();
    std::shared_ptr<CaptureVideoDataOutput> videoOutput =
        std::make_shared<CaptureVideoDataOutput>();

    void SetUp() override {
        session->addInput(CaptureDeviceInput::make(camera));
        session->addOutput(videoOutput);
        session->addOutput(photoOutput);
        session->startRunning();
    }

    void setCustomExposure(double seconds) {
        ConfigurationLock lock(*camera);
        camera->setExposureModeCustom(MediaTime::fromSeconds(seconds), 100);
    }

    std::shared_ptr<RecordingDelegate> capture(const CapturePhotoSettings& settings,
                                               Seconds within = Seconds(30)) {
        auto delegate = std::make_shared<RecordingDelegate>();
        photoOutput->capturePhoto(settings, delegate);
        dispatch.runUntil(
            [&] { return delegate->calls.size() > 0 && delegate->calls.back() == "finish"; },
            within);
        return delegate;
    }
};

TEST_F(CaptureSessionTest, PhotoArrivesAfterItsExposureWithCallbacksInOrder) {
    setCustomExposure(1.0);
    const auto d = capture(CapturePhotoSettings::withRawPixelFormat(pixelformat::bayer14RGGB));
    EXPECT_EQ(d->calls, (std::vector<std::string>{"willBegin", "willCapture", "photo", "finish"}));
    ASSERT_EQ(d->photos.size(), 1u);
    EXPECT_GE(Seconds(d->photoAt[0] - d->willCaptureAt).count(), 1.0);
    const CapturedPhoto& photo = *d->photos[0];
    EXPECT_TRUE(photo.isRawPhoto());
    EXPECT_EQ(photo.pixelBuffer()->pixelFormat(), pixelformat::bayer14RGGB);
    EXPECT_EQ(photo.pixelBuffer()->width(), 160u);
    EXPECT_EQ(photo.sequenceCount(), 0);
    EXPECT_GT(photo.timestamp().value, 0); // never 0, also at the clock's start
    EXPECT_FALSE(d->finishError);
}

TEST_F(CaptureSessionTest, BracketDeliversOnePhotoPerExposureInOrder) {
    auto settings = CapturePhotoSettings::bracket(
        pixelformat::bayer14RGGB, std::nullopt,
        {{MediaTime::fromSeconds(0.5), 100}, {MediaTime::fromSeconds(2.0), 400}});
    const auto d = capture(settings);
    ASSERT_EQ(d->photos.size(), 2u);
    EXPECT_EQ(d->photos[0]->sequenceCount(), 1);
    EXPECT_EQ(d->photos[1]->sequenceCount(), 2);
    EXPECT_EQ(d->photos[1]->photoCount(), 2);
    EXPECT_EQ(d->photos[0]->resolvedSettings().expectedPhotoCount, 2);
    EXPECT_EQ(d->photos[0]->resolvedSettings().uniqueID, settings.uniqueID());
    EXPECT_LT(d->photos[0]->timestamp(), d->photos[1]->timestamp());
    const auto exposure = [](const CapturedPhoto& p) {
        return *p.metadata().dictionary(key::exifGroup)->find(key::exifExposureTime)->number();
    };
    EXPECT_NEAR(exposure(*d->photos[0]), 0.5, 1e-6);
    EXPECT_NEAR(exposure(*d->photos[1]), 2.0, 1e-6);
    EXPECT_GE(Seconds(d->photoAt[1] - d->willCaptureAt).count(), 2.5);
}

TEST_F(CaptureSessionTest, RequestsRunOneAfterAnotherInOrder) {
    setCustomExposure(0.2);
    auto first = std::make_shared<RecordingDelegate>();
    auto second = std::make_shared<RecordingDelegate>();
    photoOutput->capturePhoto(CapturePhotoSettings::withFormat(pixelformat::bgra32), first);
    photoOutput->capturePhoto(CapturePhotoSettings::withFormat(pixelformat::bgra32), second);
    dispatch.runFor(Seconds(0.1));
    EXPECT_EQ(first->calls, (std::vector<std::string>{"willBegin", "willCapture"}));
    EXPECT_TRUE(second->calls.empty());
    dispatch.runFor(Seconds(2));
    ASSERT_EQ(second->photos.size(), 1u);
    EXPECT_GE(second->willCaptureAt, first->photoAt[0]);
    EXPECT_LT(first->photos[0]->timestamp(), second->photos[0]->timestamp());
    EXPECT_FALSE(second->photos[0]->isRawPhoto());
}

TEST_F(CaptureSessionTest, PhotoMetadataNamesTheExposureOrientationAndRequest) {
    photoOutput->connections().at(0)->setVideoOrientation(CaptureVideoOrientation::landscapeLeft);
    {
        ConfigurationLock lock(*camera);
        camera->setWhiteBalanceModeLocked({2, 1, 1.25f});
    }
    auto settings = CapturePhotoSettings::withRawPixelFormat(pixelformat::bayer14RGGB);
    MetadataDictionary request;
    request.dictionary(key::tiffGroup).set(key::tiffSoftware, "Quarn Vesil 1.0");
    settings.setMetadata(request);
    const auto d = capture(settings);
    ASSERT_EQ(d->photos.size(), 1u);
    const MetadataDictionary& m = d->photos[0]->metadata();
    EXPECT_EQ(m.find(key::orientation)->integer(), 3);
    EXPECT_EQ(*m.dictionary(key::tiffGroup)->find(key::tiffSoftware)->string(), "Quarn Vesil 1.0");
    EXPECT_TRUE(m.dictionary(key::tiffGroup)->contains(key::tiffMake)); // merged, not replaced
    EXPECT_EQ(m.dictionary(key::dngGroup)->find(key::dngAsShotNeutral)->numbers(),
              (std::vector<double>{0.5, 1.0, 0.8}));
    EXPECT_EQ(m.dictionary(key::dngGroup)->find(key::dngBlackLevel)->integer(), 528);
    for (const char* name : {key::exifExposureTime, key::exifISOSpeedRatings, key::exifFNumber,
                             key::exifFocalLength, key::exifDateTimeOriginal, key::exifLensModel}) {
        EXPECT_TRUE(m.dictionary(key::exifGroup)->contains(name)) << name;
    }
}

TEST_F(CaptureSessionTest, FaultSwitchesGiveTheirErrors) {
    photoOutput->setRequestFailure("request broke");
    auto d = capture(CapturePhotoSettings::withFormat(pixelformat::bgra32));
    ASSERT_TRUE(d->finishError);
    EXPECT_EQ(d->finishError->localizedDescription, "request broke");
    EXPECT_EQ(d->photos.size(), 1u); // the photos still came

    photoOutput->setRequestFailure(std::nullopt);
    photoOutput->setPhotoFailure("photo broke");
    d = capture(CapturePhotoSettings::withFormat(pixelformat::bgra32));
    ASSERT_EQ(d->photoErrors.size(), 1u);
    EXPECT_EQ(d->photoErrors[0]->localizedDescription, "photo broke");
    EXPECT_EQ(d->photos[0]->pixelBuffer(), nullptr);
    EXPECT_FALSE(d->finishError);

    photoOutput->setPhotoFailure(std::nullopt);
    const MediaTime before =
        capture(CapturePhotoSettings::withFormat(pixelformat::bgra32))->photos[0]->timestamp();
    photoOutput->repeatNextTimestamp();
    d = capture(CapturePhotoSettings::withFormat(pixelformat::bgra32));
    EXPECT_EQ(d->photos[0]->timestamp(), before);
}

TEST_F(CaptureSessionTest, RequestsTheOutputCannotServeFailWithOnlyDidFinish) {
    auto settings = CapturePhotoSettings::withRawPixelFormat(pixelformat::rgba64LE);
    auto d = capture(settings); // ProRAW is off
    EXPECT_EQ(d->calls, std::vector<std::string>{"finish"});
    EXPECT_EQ(d->finishError->code, CaptureError::Code::unsupportedSettings);

    photoOutput->setMaxPhotoQualityPrioritization(PhotoQualityPrioritization::speed);
    settings = CapturePhotoSettings::withFormat(pixelformat::bgra32);
    settings.setPhotoQualityPrioritization(PhotoQualityPrioritization::quality);
    d = capture(settings);
    EXPECT_EQ(d->finishError->code, CaptureError::Code::unsupportedSettings);
    settings.setPhotoQualityPrioritization(PhotoQualityPrioritization::speed);
    EXPECT_FALSE(capture(settings)->finishError);
}

TEST_F(CaptureSessionTest, RawFormatsFollowTheCameraAndProRAW) {
    EXPECT_EQ(photoOutput->availableRawPhotoPixelFormatTypes(),
              std::vector<FourCharCode>{pixelformat::bayer14RGGB});
    ConsoleCapture console;
    photoOutput->setProRAWEnabled(true); // this camera has none
    EXPECT_FALSE(photoOutput->isProRAWEnabled());
    CaptureDeviceState s = camera->state();
    s.proRAWSupported = true;
    camera->setState(s);
    photoOutput->setProRAWEnabled(true);
    EXPECT_EQ(photoOutput->availableRawPhotoPixelFormatTypes(),
              (std::vector<FourCharCode>{pixelformat::rgba64LE, pixelformat::bayer14RGGB}));
    s.rawPhotoPixelFormats.clear();
    camera->setState(s);
    EXPECT_TRUE(photoOutput->availableRawPhotoPixelFormatTypes().empty());
}

TEST_F(CaptureSessionTest, InterruptionAndStopFailRequestsButStillRunCompletions) {
    session->beginInterruption();
    auto d = capture(CapturePhotoSettings::withFormat(pixelformat::bgra32));
    EXPECT_EQ(d->finishError->localizedDescription, "session interrupted");
    session->endInterruption();
    EXPECT_FALSE(capture(CapturePhotoSettings::withFormat(pixelformat::bgra32))->finishError);

    setCustomExposure(1.0);
    auto open = std::make_shared<RecordingDelegate>();
    photoOutput->capturePhoto(CapturePhotoSettings::withFormat(pixelformat::bgra32), open);
    int completions = 0;
    {
        ConfigurationLock lock(*camera);
        camera->setExposureTargetBias(1, [&](MediaTime) { ++completions; });
    }
    dispatch.runFor(Seconds(0.5));
    session->stopRunning();
    dispatch.runFor(Seconds(3));
    EXPECT_EQ(open->calls.back(), "finish");
    EXPECT_EQ(open->finishError->code, CaptureError::Code::sessionStopped);
    EXPECT_TRUE(open->photos.empty());
    EXPECT_EQ(completions, 1);
    d = capture(CapturePhotoSettings::withFormat(pixelformat::bgra32));
    EXPECT_EQ(d->finishError->code, CaptureError::Code::sessionNotRunning);
}

TEST_F(CaptureSessionTest, LiveFramesComeAtMostThirtyASecondAndNeverFasterThanTheExposure) {
    auto delegate = std::make_shared<CountingVideoDelegate>();
    auto queue = std::make_shared<DispatchQueue>("video data queue");
    dispatch.runFor(Seconds(1)); // no delegate: nothing is rendered or handed on
    videoOutput->setSampleBufferDelegate(delegate, queue);
    dispatch.runFor(Seconds(1));
    EXPECT_GE(delegate->frames, 28);
    EXPECT_LE(delegate->frames, 30);
    setCustomExposure(0.25);
    dispatch.runFor(Seconds(0.1)); // the frame in progress ends
    delegate->frames = 0;
    dispatch.runFor(Seconds(2));
    EXPECT_GE(delegate->frames, 7);
    EXPECT_LE(delegate->frames, 8);
}

TEST_F(CaptureSessionTest, NoLiveFramesWhileAPhotoExposes) {
    auto delegate = std::make_shared<CountingVideoDelegate>();
    videoOutput->setSampleBufferDelegate(delegate, std::make_shared<DispatchQueue>("video"));
    auto settings = CapturePhotoSettings::bracket(pixelformat::bayer14RGGB, std::nullopt,
                                                  {{MediaTime::fromSeconds(2.0), 100}});
    photoOutput->capturePhoto(settings, std::make_shared<RecordingDelegate>());
    dispatch.runFor(Seconds(0.2));
    delegate->frames = 0;
    dispatch.runFor(Seconds(1.5));
    EXPECT_EQ(delegate->frames, 0);
    dispatch.runFor(Seconds(1.5));
    EXPECT_GT(delegate->frames, 0);
}

TEST_F(CaptureSessionTest, ChangingTheDelegateNeverWaitsAndDropsFramesMeantForTheOldOne) {
    auto first = std::make_shared<CountingVideoDelegate>();
    auto second = std::make_shared<CountingVideoDelegate>();
    auto queue = std::make_shared<DispatchQueue>("video data queue");
    videoOutput->setSampleBufferDelegate(first, queue);
    // The first delegate replaces itself while it handles a frame (as a handler that hops
    // to the main queue while main clears the delegate would): no wait, no deadlock.
    first->whileHandling = [&] {
        videoOutput->setSampleBufferDelegate(nullptr, nullptr);
        videoOutput->setSampleBufferDelegate(second, queue);
        first->whileHandling = nullptr;
    };
    dispatch.runFor(Seconds(0.5));
    EXPECT_EQ(first->frames, 1);
    EXPECT_GT(second->frames, 10);
    videoOutput->setSampleBufferDelegate(nullptr, nullptr);
    const int count = second->frames;
    dispatch.runFor(Seconds(0.5));
    EXPECT_EQ(second->frames, count); // a frame already queued for it is dropped
}

TEST_F(CaptureSessionTest, LateFramesAreDroppedAndASampleMayComeWithoutImage) {
    auto delegate = std::make_shared<CountingVideoDelegate>();
    auto queue = std::make_shared<DispatchQueue>("video data queue");
    videoOutput->setSampleBufferDelegate(delegate, queue);
    SampleBuffer sample{PixelBuffer::make(4, 4, pixelformat::bgra32), MediaTime::zero()};
    EXPECT_TRUE(videoOutput->deliver(sample));
    EXPECT_FALSE(videoOutput->deliver(sample)); // the first is not handled yet: late
    dispatch.runUntilIdle();
    EXPECT_EQ(delegate->frames, 1);
    videoOutput->sendSampleWithoutImage();
    dispatch.runUntilIdle();
    EXPECT_EQ(delegate->withoutImage, 1);
}

TEST_F(CaptureSessionTest, VideoFrameSizeFollowsTheDimensionFlags) {
    const CaptureDeviceFormat f = camera->activeFormat();
    EXPECT_EQ(videoOutput->frameDimensions(f), f.previewDimensions);
    videoOutput->setAutomaticallyConfiguresOutputBufferDimensions(false);
    EXPECT_EQ(videoOutput->frameDimensions(f), f.videoDimensions);
    videoOutput->setDeliversPreviewSizedOutputBuffers(true);
    EXPECT_EQ(videoOutput->frameDimensions(f), f.previewDimensions);
}

TEST_F(CaptureSessionTest, PreviewLayerKeepsTheLatestFrameOnceItHasASize) {
    auto layer = CaptureVideoPreviewLayer::make(session);
    int arrivals = 0;
    auto subscription = layer->onFrameArrived([&] { ++arrivals; });
    dispatch.runFor(Seconds(0.5));
    EXPECT_EQ(arrivals, 0); // no size yet: nothing rendered for it
    layer->setFrame({0, 0, 390, 520});
    dispatch.runFor(Seconds(0.5));
    EXPECT_GE(arrivals, 14);
    ASSERT_NE(layer->latestFrame(), nullptr);
    EXPECT_EQ(layer->latestFrame()->pixelFormat(), pixelformat::bgra32);
    EXPECT_EQ(layer->latestFrame()->width(), 80u); // landscape, preview size
}

TEST_F(CaptureSessionTest, PreviewLayerConvertsViewPointsToSensorPoints) {
    auto layer = CaptureVideoPreviewLayer::make(session);
    layer->setFrame({0, 0, 390, 520});
    EXPECT_EQ(layer->captureDevicePointOfInterestForPoint({195, 260}), (CapturePoint{0.5, 0.5}));
    EXPECT_EQ(layer->captureDevicePointOfInterestForPoint({390, 0}), (CapturePoint{0, 0}));
    EXPECT_EQ(layer->captureDevicePointOfInterestForPoint({0, 520}), (CapturePoint{1, 1}));
    EXPECT_EQ(layer->captureDevicePointOfInterestForPoint({-50, 900}), (CapturePoint{1, 1}));
    EXPECT_EQ(layer->pointForCaptureDevicePointOfInterest({0.25, 0.75}), (CapturePoint{97.5, 130}));
}

TEST_F(CaptureSessionTest, SecondInputsAndRepeatedOutputsAreRefusedWithOneLine) {
    ConsoleCapture console;
    auto other = std::make_shared<InMemoryCaptureDevice>();
    auto input = CaptureDeviceInput::make(other);
    EXPECT_FALSE(session->canAddInput(input));
    session->addInput(input);
    EXPECT_EQ(session->inputs().size(), 1u);
    EXPECT_FALSE(session->canAddOutput(photoOutput));
    session->addOutput(photoOutput);
    EXPECT_EQ(session->outputs().size(), 2u);
    const std::string printed = console.text();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 2) << printed;

    session->setRefusesVideoDataOutputs(true);
    EXPECT_FALSE(session->canAddOutput(std::make_shared<CaptureVideoDataOutput>()));

    other->setInputFailure("Cannot use Back Camera");
    CaptureError error;
    EXPECT_EQ(CaptureDeviceInput::make(other, &error), nullptr);
    EXPECT_EQ(error.localizedDescription, "Cannot use Back Camera");
}

TEST(CaptureDeviceDiscovery, FindsInstalledCamerasInTheOrderOfTheKindsAsked) {
    auto wide = std::make_shared<InMemoryCaptureDevice>();
    CaptureDeviceState teleState;
    teleState.deviceType = CaptureDeviceType::builtInTelephotoCamera;
    auto tele = std::make_shared<InMemoryCaptureDevice>(teleState);
    {
        auto installation = CaptureDeviceDiscovery::install({tele, wide});
        const auto found = CaptureDeviceDiscovery::devices(
            {CaptureDeviceType::builtInWideAngleCamera, CaptureDeviceType::builtInTelephotoCamera,
             CaptureDeviceType::builtInUltraWideCamera});
        ASSERT_EQ(found.size(), 2u);
        EXPECT_EQ(found[0], wide);
        EXPECT_EQ(found[1], tele);
    }
    EXPECT_TRUE(
        CaptureDeviceDiscovery::devices({CaptureDeviceType::builtInWideAngleCamera}).empty());
}

} // namespace
} // namespace qv::platform
