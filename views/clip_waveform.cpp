#include "clip_waveform.h"

#include "audio_clip.h"
#include "audio_peak.h"
#include "audio_peak_manager.h"
#include "clip.h"
#include "time_scale.h"
#include "track.h"
#include "tracks_view.h"

#include <QPainter>
#include <algorithm>
#include <vector>

namespace {
constexpr long long kFramesPerRecord = 1024;
} // namespace

ClipWaveform::~ClipWaveform()
{
    for (AudioPeak* peak : std::as_const(m_peaks))
        AudioPeakManager::instance().release(peak);
}

AudioPeak* ClipWaveform::peakOf(Clip* clip)
{
    if (clip->filePath().isEmpty())
        return nullptr;
    const QString key =
        clip->filePath() + QLatin1Char('|') + QString::number(clip->stretchFactor(), 'g', 6);
    m_used.insert(key);
    AudioPeak*& peak = m_peaks[key];
    if (!peak) {
        AudioPeakManager& manager = AudioPeakManager::instance();
        manager.setSessionRate(m_view->scale().sampleRate());
        peak = manager.acquire(clip->filePath(), clip->stretchFactor());
        if (const auto* audio = dynamic_cast<const AudioClip*>(clip))
            peak->setAudioChannels(audio->channels());
    }
    return peak;
}

void ClipWaveform::endPaint()
{
    for (auto it = m_peaks.begin(); it != m_peaks.end();) {
        if (m_used.contains(it.key())) {
            ++it;
            continue;
        }
        AudioPeakManager::instance().release(it.value());
        it = m_peaks.erase(it);
    }
    m_used.clear();
}

void ClipWaveform::paint(QPainter& p, Clip* clip, const QRect& box, int areaWidth)
{
    QColor colour = clip->track()->properties().foreground;
    colour.setAlpha(140);
    AudioPeak* peak = peakOf(clip);
    const int channels = peak ? peak->channels() : 0;
    const int left = std::max(box.left() + 1, 0);
    const int right = std::min(box.right() - 1, areaWidth);
    if (channels == 0 || right <= left) {
        p.setPen(colour);
        p.drawLine(box.left() + 2, box.center().y(), box.right() - 2, box.center().y());
        return;
    }
    // The records under the visible columns: material frames are the clip's offset on.
    const auto recordAt = [&](int x) {
        const long long frame =
            static_cast<long long>(m_view->xToFrame(x)) - clip->start() + clip->offset();
        return std::max(0LL, frame) / kFramesPerRecord;
    };
    const long long first = recordAt(left);
    const long long count = recordAt(right + 1) - first + 1;
    const size_t recordSize = 2 * size_t(channels);
    std::vector<unsigned char> records(size_t(count) * recordSize);
    peak->read(first, count, records.data());

    QColor strong = colour;
    strong.setAlpha(220);
    const double lane = double(box.height() - 2) / channels;
    for (int c = 0; c < channels; ++c) {
        const double centre = box.top() + 1 + lane * (c + 0.5);
        const double half = lane / 2.0 - 1.0;
        for (int x = left; x <= right; ++x) {
            const long long r1 = recordAt(x) - first;
            const long long r2 = std::max(r1 + 1, recordAt(x + 1) - first);
            int peakByte = 0, rmsByte = 0;
            for (long long r = r1; r < r2 && r < count; ++r) {
                peakByte = std::max<int>(peakByte, records[size_t(r) * recordSize + 2 * c]);
                rmsByte = std::max<int>(rmsByte, records[size_t(r) * recordSize + 2 * c + 1]);
            }
            const double hp = std::max(0.5, half * peakByte / 255.0);
            const double hr = half * rmsByte / 255.0;
            p.setPen(colour);
            p.drawLine(QPointF(x, centre - hp), QPointF(x, centre + hp));
            if (hr > 0.5) {
                p.setPen(strong);
                p.drawLine(QPointF(x, centre - hr), QPointF(x, centre + hr));
            }
        }
    }
}
