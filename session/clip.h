#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

class Track;
class Session;
class Command;

/**
 * Clip: a clip on a track, the base of the MIDI clip and the audio clip.
 *
 * Positions, lengths, offsets and fades are frames; each has a tick copy kept in step through
 * the session's time scale so the MIDI engine and the views never convert in their loops.
 * Clips of a track form an intrusive list ordered by start. GUI thread only, except process()
 * and gainAt(), which the engines call while the session is not being edited.
 */
class Clip
{
public:
    enum FadeShape { Linear = 0, Quadratic = 1, Cubic = 2 };

    Clip();
    virtual ~Clip();
    Clip(const Clip&) = delete;
    Clip& operator=(const Clip&) = delete;

    // The clip's operations; the MIDI and audio clips give them their meaning.
    /** Opens the backing file (reads a MIDI file, opens an audio buffer). */
    virtual bool open() { return true; }
    /** Moves to position frames from the clip start. */
    virtual void seek(uint32_t position) { (void)position; }
    /** Back to the beginning (or to the loop window's start when loopSet). */
    virtual void rewind(bool loopSet) { (void)loopSet; }
    virtual void setLoopWindow(uint32_t in, uint32_t out) { (void)in, (void)out; }
    /**
     * Before an edit that closes and opens the clip under the edit lock (a meter change): reads
     * now, unlocked, what open() would read then, so the engines are not silenced for the I/O.
     */
    virtual void prepareReopen() {}
    /** Releases the material; deletes the backing file when asked and the clip has no length. */
    virtual void close(bool removeIfEmpty) { (void)removeIfEmpty; }
    /** Plays the frames [first, last) of the timeline. */
    virtual void process(uint32_t first, uint32_t last) { (void)first, (void)last; }
    virtual QString toolTip() const;

    // What the undoable clip operations reach beyond the base fields. The base clip has no
    // stretch, pitch or file track; the audio and MIDI clips override what applies to them.
    /** Time-stretch factor (1 = none); the audio clip recomputes its length from it. */
    virtual float stretchFactor() const { return 1.0f; }
    virtual void setStretchFactor(float factor) { (void)factor; }
    /** Pitch shift of the audio clip. */
    virtual float pitchShift() const { return 0.0f; }
    virtual void setPitchShift(float shift) { (void)shift; }
    /** Audio clip: the melody is to be transcribed again before the next song is made. */
    virtual bool needsTranscription() const { return false; }
    virtual void setNeedsTranscription(bool on) { (void)on; }
    /** MIDI clip: the track (format 1) or channel (format 0) it takes from its file. */
    virtual uint16_t fileTrackNumber() const { return 0; }
    virtual void setFileTrackNumber(uint16_t number) { (void)number; }
    /** MIDI clip: the bank and program its material asks for; -1 when none. */
    virtual int bank() const { return -1; }
    virtual int program() const { return -1; }
    /**
     * MIDI clip: an undoable edit (not yet applied) that multiplies the time and the duration
     * of every event of the clip's present material, [offset, offset + length), by factor;
     * none for other clips.
     */
    virtual std::unique_ptr<Command> makeStretchEdit(float factor) const;
    /** Closes the clip and opens it again, after its file or its material settings changed. */
    bool reload();

    // Place on the timeline. Each setter also refreshes its tick copy.
    uint32_t start() const { return m_start; }
    uint32_t length() const { return m_length; }
    uint32_t offset() const { return m_offset; }
    uint32_t end() const { return m_start + m_length; }
    void setStart(uint32_t frame);
    void setLength(uint32_t frames);
    void setOffset(uint32_t frames);
    uint32_t startTick() const { return m_startTick; }
    uint32_t lengthTick() const { return m_lengthTick; }
    uint32_t offsetTick() const { return m_offsetTick; }
    /** Recomputes start, offset, length and fades in frames from their tick copies. */
    void updateFramesFromTicks();
    /** Recomputes every tick copy from the frames. */
    void updateTicksFromFrames();

    // Fades and gain.
    float gain() const { return m_gain; }
    void setGain(float gain) { m_gain = gain; }
    uint32_t fadeIn() const { return m_fadeIn; }
    uint32_t fadeOut() const { return m_fadeOut; }
    int fadeInShape() const { return m_fadeInShape; }
    int fadeOutShape() const { return m_fadeOutShape; }
    uint32_t fadeInTick() const { return m_fadeInTick; }
    uint32_t fadeOutTick() const { return m_fadeOutTick; }
    /** Sets a fade; its length is limited to the clip length. */
    void setFadeIn(uint32_t frames, int shape);
    void setFadeIn(uint32_t frames) { setFadeIn(frames, m_fadeInShape); }
    void setFadeOut(uint32_t frames, int shape);
    void setFadeOut(uint32_t frames) { setFadeOut(frames, m_fadeOutShape); }
    /** Clip gain times the fades at x frames after the clip start; 0 from the clip end on. */
    float gainAt(uint32_t x) const;

    // Loop window: the part of the session's loop range inside the clip, relative to its start.
    uint32_t windowIn() const { return m_windowIn; }
    uint32_t windowOut() const { return m_windowOut; }
    /** Computes the window for the loop range [in, out) and hands it to setLoopWindow(). */
    void updateLoopWindow(uint32_t loopIn, uint32_t loopOut);

    uint32_t selectionIn() const { return m_selectionIn; }
    uint32_t selectionOut() const { return m_selectionOut; }
    void setSelection(uint32_t in, uint32_t out);

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    /** Absolute, cleaned path of the backing file. */
    const QString& filePath() const { return m_filePath; }
    void setFilePath(const QString& path);
    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }

    Track* track() const { return m_track; }
    Clip* prev() const { return m_prev; }
    Clip* next() const { return m_next; }

protected:
    /** The session of the clip's track, or none for a clip not on a track. */
    Session* session() const;

private:
    friend class Track; // links the clip into its list

    void updateFadeCurves();
    uint32_t toTicks(uint32_t frames) const;

    Clip* m_prev = nullptr;
    Clip* m_next = nullptr;
    Track* m_track = nullptr;
    QString m_filePath;
    QString m_name;
    uint32_t m_start = 0;
    uint32_t m_length = 0;
    uint32_t m_offset = 0;
    uint32_t m_startTick = 0;
    uint32_t m_offsetTick = 0;
    uint32_t m_lengthTick = 0;
    uint32_t m_selectionIn = 0;
    uint32_t m_selectionOut = 0;
    uint32_t m_windowIn = 0;
    uint32_t m_windowOut = 0;
    float m_gain = 1.0f;
    bool m_modified = false;
    uint32_t m_fadeIn = 0;
    uint32_t m_fadeOut = 0;
    uint32_t m_fadeInTick = 0;
    uint32_t m_fadeOutTick = 0;
    int m_fadeInShape = Quadratic;
    int m_fadeOutShape = Quadratic;
    std::array<float, 4> m_fadeInCurve{};  // c3, c2, c1, c0
    std::array<float, 4> m_fadeOutCurve{}; // c3, c2, c1, c0
};
