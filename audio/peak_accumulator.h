#pragma once

#include <QByteArray>
#include <vector>

/**
 * PeakAccumulator: turns a stream of planar float frames into peak-file records.
 *
 * Every `framesPerRecord` frames it appends one record: per channel, the peak byte (255 × the
 * largest absolute sample, at most 255) and then the RMS byte (255 × the root mean square).
 * finish() appends the record of a last, shorter period. The peak thread builds whole files
 * with it and the recorder builds the peaks of a take while it is written.
 */
class PeakAccumulator
{
public:
    PeakAccumulator(int channels, long long framesPerRecord);

    int channels() const { return int(m_sums.size()); }
    /** Adds `frames` frames from one buffer per channel; complete records go to `out`. */
    void add(const float* const* samples, long long frames, QByteArray& out);
    /** Appends the record of the frames added since the last one, when there are any. */
    void finish(QByteArray& out);

private:
    struct ChannelSums
    {
        float peak = 0.0f;
        double squares = 0.0;
    };
    void appendRecord(QByteArray& out);

    std::vector<ChannelSums> m_sums;
    long long m_framesPerRecord;
    long long m_inPeriod = 0;
};
