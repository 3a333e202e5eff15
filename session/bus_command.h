#pragma once

#include "command.h"

#include <QString>
#include <memory>
#include <vector>

class vx18;
class vx19;
class vx20;
class vx99Bus;

/**
 * vx99BusCommand: the base of the undoable commands on the engines' buses.
 *
 * The commands serve audio and MIDI buses alike: they reach the engine of their kind
 * (vx19::AudioKind or MidiKind) through the session each time they run, and everything that
 * differs between the two goes through the virtuals of vx19 and vx99Bus (opening and closing
 * ports, re-picking the metronome and player buses, the MIDI bus's instrument name and its
 * master volume and balance messages). Like the other commands they keep the other value and
 * swap it on each run; a bus taken out of its engine is owned by the command. GUI thread only.
 */
class vx99BusCommand : public vx30
{
public:
    vx99Bus* bus() const { return m_bus; }
    bool ownsObject() const override { return m_owned != nullptr; }

protected:
    vx99BusCommand(vx20* session, int kind, vx99Bus* bus, const QString& name);

    vx20* session() const { return m_session; }
    /** The engine of the command's kind; none without a session. */
    vx19* engine() const;
    /** True while the bus is one of the engine's buses. */
    bool busInEngine() const;
    /** Detaches every track of the engine's kind whose input or output is the bus. */
    std::vector<vx18*> detachTracks();
    /** Takes the bus out of its engine and keeps it; false when it is not there. */
    bool takeOut();
    /** Puts the kept bus back at its old place. */
    bool putBack();

    /** Stops the transport for the command's duration and starts it again afterwards. */
    class PlayingPause
    {
    public:
        explicit PlayingPause(vx20* session);
        ~PlayingPause();
        PlayingPause(const PlayingPause&) = delete;
        PlayingPause& operator=(const PlayingPause&) = delete;

    private:
        vx20* m_session;
        bool m_wasPlaying;
    };

    vx99Bus* m_bus;

private:
    vx20* m_session;
    int m_kind;
    std::unique_ptr<vx99Bus> m_owned;
    int m_index = -1;
};

/** vx99CreateBusCommand: "create bus", a new bus added to its engine. */
class vx99CreateBusCommand : public vx99BusCommand
{
public:
    /** instrument: the MIDI bus's instrument name (ignored by audio buses). */
    vx99CreateBusCommand(vx20* session, int kind, const QString& busName, int flags,
                         const QString& instrument = QString());
    bool apply() override;
    bool revert() override;

private:
    QString m_busName;
    int m_flags;
    QString m_instrument;
};

/**
 * vx99DeleteBusCommand: "delete bus". Stops playback, detaches the tracks on the bus, closes
 * and removes it; undo puts it back and attaches those tracks again.
 */
class vx99DeleteBusCommand : public vx99BusCommand
{
public:
    vx99DeleteBusCommand(vx20* session, int kind, vx99Bus* bus);
    bool apply() override;
    bool revert() override;

private:
    std::vector<vx18*> m_tracks;
};

/**
 * vx99UpdateBusCommand: "update bus". Swaps the bus's name, mode bits, pass-through flag and
 * instrument name with the stored ones while the bus is closed and its tracks detached; the
 * tracks that named the bus follow its new name and are attached again.
 */
class vx99UpdateBusCommand : public vx99BusCommand
{
public:
    vx99UpdateBusCommand(vx20* session, int kind, vx99Bus* bus, const QString& busName, int flags,
                         bool passThrough, const QString& instrument = QString());
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap();

    QString m_busName;
    int m_flags;
    bool m_passThrough;
    QString m_instrument;
};

/**
 * vx99BusGainCommand: "bus gain" (and, with Panning, "bus pan"). Sets the input monitor when
 * the bus has input and the output monitor when it has output; each keeps its own old value.
 * The engine is told, so a MIDI bus sends its master volume or balance.
 */
class vx99BusGainCommand : public vx99BusCommand
{
public:
    vx99BusGainCommand(vx20* session, int kind, vx99Bus* bus, float gain);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

protected:
    enum Value
    {
        Gain,
        Panning
    };
    vx99BusGainCommand(vx20* session, int kind, vx99Bus* bus, float value, Value which,
                       const QString& name);

private:
    bool swap();

    Value m_which;
    float m_input;
    float m_output;
};

/** vx99BusPanningCommand: "bus pan". */
class vx99BusPanningCommand : public vx99BusGainCommand
{
public:
    vx99BusPanningCommand(vx20* session, int kind, vx99Bus* bus, float panning);
};

/** vx99BusPassthruCommand: "bus pass-through", the bus's input copied to its output. */
class vx99BusPassthruCommand : public vx99BusCommand
{
public:
    vx99BusPassthruCommand(vx20* session, int kind, vx99Bus* bus, bool on);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap();
    bool m_on;
};
