#include "screen/preview/ProgressViewQV.hpp"

#include "components/ProgressCircle.hpp"
#include "engine/ExposureSequence.hpp"
#include "platform/formatting/NumberFormatter.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/preview/ImageProgressView.hpp"

#include <cmath>

namespace qv {

using namespace platform::ui;

std::string ProgressViewQV::timeText(double seconds) {
    if (!(seconds > 0)) {
        return "";
    }
    return ExposureSequence::formatTime(std::ceil(seconds));
}

View ProgressViewQV::body() const {
    const double left = remainingTime ? remainingTime() : 0;
    const bool showsSeries = series && series->runs > 1 && !isPreviewMode;
    const View time = Text(left > 0 ? *timeRemaining : std::string{})
                          .font(Font::system(metrics::progressTimeFontSize).monospacedDigit())
                          .foregroundColor(Color::white())
                          .padding()
                          .testTag("progress time");
    const View counts = If(showsSeries, [&] {
        const std::string text =
            platform::formatInteger(series->run) + " of " + platform::formatInteger(series->runs);
        return HStack({Image::system("repeat").imageScale(ImageScale::small), Text(text)})
            .font(Font::system(metrics::progressSeriesFontSize).monospacedDigit())
            .foregroundColor(Color::white())
            .padding()
            .testTag("progress series");
    });
    const View ring = If(!isPreviewMode, [&] {
        return ProgressCircle{remainingTimeInterval.binding(), totalDuration};
    });

    const auto interval = remainingTimeInterval;
    const auto text = timeRemaining;
    const auto read = remainingTime;
    return VStack({ZStack({ring, VStack({time, counts})}),
                   If(showsMergedPicture, [&] { return ImageProgressView{previewImage}; })})
        .rotationEffect(rotation)
        .onTimer(metrics::progressTickSeconds,
                 [interval, text, read] {
                     const double seconds = read ? read() : 0;
                     platform::withAnimation([&] { interval.set(seconds); });
                     text.set(timeText(seconds));
                 })
        .testTag("progress");
}

} // namespace qv
