#pragma once

#include <QHash>
#include <QSet>
#include <QString>

class AudioPeak;
class Clip;
class QPainter;
class QRect;
class TracksView;

/**
 * ClipWaveform: draws the waveform of audio clips in the clip area from their peak files, the
 * peak of each pixel column light and its RMS strong, one lane per channel.
 *
 * It holds a reference to the peaks of every clip drawn in the last paint and lets go of the
 * others after the next, so a peak file is built once and kept while its clip is shown. A clip
 * whose peaks are not there (yet) shows a centre line.
 *
 * Threads: GUI thread only.
 */
class ClipWaveform
{
public:
    explicit ClipWaveform(TracksView* view) : m_view(view) {}
    ~ClipWaveform();
    ClipWaveform(const ClipWaveform&) = delete;
    ClipWaveform& operator=(const ClipWaveform&) = delete;

    /** Draws the clip's waveform into box (the clip's rectangle in clip area pixels). */
    void paint(QPainter& p, Clip* clip, const QRect& box, int areaWidth);
    /** Releases the peaks no clip of the finished paint used. */
    void endPaint();

private:
    AudioPeak* peakOf(Clip* clip);

    TracksView* m_view;
    QHash<QString, AudioPeak*> m_peaks;
    QSet<QString> m_used;
};
