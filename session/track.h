#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <memory>

class Engine;
class Session;
class Clip;
class Bus;
class Monitor;

/** Track parameter kinds, as commands and bus messages name them. */
enum TrackParam : uint16_t
{
    TrackNone = 0,
    TrackGain = 1,
    TrackPanning = 2,
    TrackMonitor = 3,
    TrackRecord = 4,
    TrackMute = 5,
    TrackSolo = 6,
    TrackParamAny = 0x4000, // wildcard: "TrackParam", "*" or an empty text
};

/** Reads a parameter text: the wildcard texts, a kind name, or an unsigned 16-bit number. */
uint16_t trackParamFromText(const QString& text);

/**
 * Track: a track of the session, holding its clips in start order.
 *
 * Its persistent part is Properties, which undoable commands copy as a whole. A track belongs to
 * at most one session list at a time. GUI thread only; the engines read the clip list and the
 * monitor while the session is not being edited.
 */
class Track
{
public:
    enum Kind { AudioTrack = 1, MidiTrack = 2 };

    struct Properties
    {
        QString name;
        int kind = 0;
        bool monitor = false;
        bool record = false;
        bool mute = false;
        bool solo = false;
        float gain = 1.0f;
        float panning = 0.0f; // -1 left .. +1 right
        QString inputBus;
        QString outputBus;
        bool anyChannel = false;
        uint16_t channel = 0;
        int instrument = -1;
        int bank = -1; // MSB * 128 + LSB
        int program = -1;
        QColor foreground = Qt::yellow;
        QColor background = QColor(0, 0, 139, 192); // dark blue; alpha always 192

        bool operator==(const Properties&) const = default;
    };

    static constexpr int DefaultHeight = 48;
    static constexpr int MinimumHeight = 24;

    Track(Session* session, int kind);
    ~Track();
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;

    Session* session() const { return m_session; }
    int kind() const { return m_props.kind; }
    bool isAudio() const { return m_props.kind == AudioTrack; }
    bool isMidi() const { return m_props.kind == MidiTrack; }

    const Properties& properties() const { return m_props; }
    /** Replaces the properties as a whole (the background's alpha is forced to 192). */
    void setProperties(const Properties& props);
    const QString& name() const { return m_props.name; }
    void setName(const QString& name) { m_props.name = name; }
    void setGain(float gain);
    void setPanning(float panning);
    void setBackground(const QColor& colour);
    void setForeground(const QColor& colour) { m_props.foreground = colour; }
    /** The colours a new track gets from its number (the track count plus one). */
    void setColoursForNumber(int n);
    static QColor colourForNumber(int n);

    /** Flags as the session's counters see them; change them through Session::mute/solo/record. */
    bool isMuted() const { return m_props.mute; }
    bool isSoloed() const { return m_props.solo; }
    bool isRecordArmed() const { return m_props.record; }

    /** MIDI track number (1..254) inside the song's file; 0 = none yet. */
    uint16_t trackNumber() const { return m_trackNumber; }
    void setTrackNumber(uint16_t n) { m_trackNumber = n; }

    int height() const { return m_height; }
    void setHeight(int h);
    int zoomedHeight() const { return m_zoomedHeight; }
    void setZoomedHeight(int h);

    // Clips, ordered by start frame (equal starts keep their insertion order).
    Clip* firstClip() const { return m_first; }
    Clip* lastClip() const { return m_last; }
    int clipCount() const { return m_clipCount; }
    /** Takes ownership of the clip and inserts it by start. */
    void addClip(Clip* clip);
    /** Unlinks the clip and gives its ownership to the caller. */
    void removeClip(Clip* clip);
    /** Re-inserts a clip whose start changed, keeping the list ordered. */
    void reorderClip(Clip* clip);
    /** Destroys every clip. */
    void deleteClips();

    /** The clip being recorded while armed; owned by the track until recording hands it over. */
    Clip* recordingClip() const { return m_recordingClip.get(); }
    void setRecordingClip(std::unique_ptr<Clip> clip);
    std::unique_ptr<Clip> takeRecordingClip();

    // Buses and monitor, resolved by attach().
    Bus* inputBus() const { return m_input; }
    Bus* outputBus() const { return m_output; }
    Monitor* monitor() const { return m_monitor.get(); }
    /** The engine of the track's kind, or none outside a session. */
    Engine* engine() const;
    /** Resolves the buses by name (or the first suitable one) and installs a monitor. */
    bool attach();
    /** Drops buses and monitor (not the recording clip; the session handles that). */
    void detach();

private:
    friend class Session;
    void setFlag(bool Properties::*flag, bool on) { m_props.*flag = on; }
    void linkClip(Clip* clip, Clip* before);

    Session* m_session;
    Properties m_props;
    uint16_t m_trackNumber = 0;
    int m_height = DefaultHeight;
    int m_zoomedHeight = DefaultHeight;
    Clip* m_first = nullptr;
    Clip* m_last = nullptr;
    int m_clipCount = 0;
    std::unique_ptr<Clip> m_recordingClip;
    Bus* m_input = nullptr;
    Bus* m_output = nullptr;
    std::unique_ptr<Monitor> m_monitor;
};
