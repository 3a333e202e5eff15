#pragma once

#include "command.h"

#include <QString>
#include <memory>
#include <vector>

class Track;
class Engine;
class Session;
class Bus;

/**
 * BusCommand: the base of the undoable commands on the engines' buses.
 *
 * The commands serve audio and MIDI buses alike: they reach the engine of their kind
 * (Engine::AudioKind or MidiKind) through the session each time they run, and everything that
 * differs between the two goes through the virtuals of Engine and Bus (opening and closing
 * ports, re-picking the metronome and player buses, the MIDI bus's instrument name and its
 * master volume and balance messages). Like the other commands they keep the other value and
 * swap it on each run; a bus taken out of its engine is owned by the command. GUI thread only.
 */
class BusCommand : public Command
{
public:
    Bus* bus() const { return m_bus; }
    bool ownsObject() const override { return m_owned != nullptr; }

protected:
    BusCommand(Session* session, int kind, Bus* bus, const QString& name);

    Session* session() const { return m_session; }
    /** The engine of the command's kind; none without a session. */
    Engine* engine() const;
    /** True while the bus is one of the engine's buses. */
    bool busInEngine() const;
    /** Detaches every track of the engine's kind whose input or output is the bus. */
    std::vector<Track*> detachTracks();
    /** Takes the bus out of its engine and keeps it; false when it is not there. */
    bool takeOut();
    /** Puts the kept bus back at its old place. */
    bool putBack();

    /** Stops the transport for the command's duration and starts it again afterwards. */
    class PlayingPause
    {
    public:
        explicit PlayingPause(Session* session);
        ~PlayingPause();
        PlayingPause(const PlayingPause&) = delete;
        PlayingPause& operator=(const PlayingPause&) = delete;

    private:
        Session* m_session;
        bool m_wasPlaying;
    };

    Bus* m_bus;

private:
    Session* m_session;
    int m_kind;
    std::unique_ptr<Bus> m_owned;
    int m_index = -1;
};

/** CreateBusCommand: "create bus", a new bus added to its engine. */
class CreateBusCommand : public BusCommand
{
public:
    /** instrument: the MIDI bus's instrument name (ignored by audio buses). */
    CreateBusCommand(Session* session, int kind, const QString& busName, int flags,
                     const QString& instrument = QString());
    bool apply() override;
    bool revert() override;

private:
    QString m_busName;
    int m_flags;
    QString m_instrument;
};

/**
 * DeleteBusCommand: "delete bus". Stops playback, detaches the tracks on the bus, closes
 * and removes it; undo puts it back and attaches those tracks again.
 */
class DeleteBusCommand : public BusCommand
{
public:
    DeleteBusCommand(Session* session, int kind, Bus* bus);
    bool apply() override;
    bool revert() override;

private:
    std::vector<Track*> m_tracks;
};

/**
 * UpdateBusCommand: "update bus". Swaps the bus's name, mode bits, pass-through flag and
 * instrument name with the stored ones while the bus is closed and its tracks detached; the
 * tracks that named the bus follow its new name and are attached again.
 */
class UpdateBusCommand : public BusCommand
{
public:
    UpdateBusCommand(Session* session, int kind, Bus* bus, const QString& busName, int flags,
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
 * BusGainCommand: "bus gain" (and, with Panning, "bus pan"). Sets the input monitor when
 * the bus has input and the output monitor when it has output; each keeps its own old value.
 * The engine is told, so a MIDI bus sends its master volume or balance.
 */
class BusGainCommand : public BusCommand
{
public:
    BusGainCommand(Session* session, int kind, Bus* bus, float gain);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

protected:
    enum Value
    {
        Gain,
        Panning
    };
    BusGainCommand(Session* session, int kind, Bus* bus, float value, Value which,
                   const QString& name);

private:
    bool swap();

    Value m_which;
    float m_input;
    float m_output;
};

/** BusPanningCommand: "bus pan". */
class BusPanningCommand : public BusGainCommand
{
public:
    BusPanningCommand(Session* session, int kind, Bus* bus, float panning);
};

/** BusPassthruCommand: "bus pass-through", the bus's input copied to its output. */
class BusPassthruCommand : public BusCommand
{
public:
    BusPassthruCommand(Session* session, int kind, Bus* bus, bool on);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap();
    bool m_on;
};
