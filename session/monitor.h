#pragma once

/**
 * Monitor: the gain and pan stage of a track (or a bus) that the engines read while
 * rendering and the meters show.
 *
 * The audio and MIDI engines derive their own monitors with per-channel gains and peaks.
 * Setters run on the GUI thread; the engines only read the values.
 */
class Monitor
{
public:
    Monitor(float gain = 1.0f, float panning = 0.0f) : m_gain(gain), m_panning(panning) {}
    virtual ~Monitor() = default;

    float gain() const { return m_gain; }
    float panning() const { return m_panning; }
    virtual void setGain(float gain) { m_gain = gain; }
    virtual void setPanning(float panning) { m_panning = panning; }

private:
    float m_gain;
    float m_panning;
};
