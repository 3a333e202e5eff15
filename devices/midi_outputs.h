#pragma once

#include <QList>
#include <QString>

#include <memory>

class MidiOutput;

/** One entry of the options dialog's "MIDI output" choice. */
struct MidiOutputChoice
{
    QString id;   // stored under MidiOutputs::kSettingsKey
    QString text; // shown to the user
};

/**
 * The MIDI outputs this machine offers and the one the user chose.
 *
 * The built-in synthesizer is always offered and is the default, so a fresh install makes sound
 * without set-up; the ALSA sequencer's synth ports follow where the sequencer exists.
 * Ordinary threads only.
 */
class MidiOutputs
{
public:
    /** Settings key of the chosen output's id. */
    static const char* const kSettingsKey;
    static const char* const kBuiltInId;

    /** The outputs to offer, built-in synthesizer first. */
    static QList<MidiOutputChoice> available();

    /** The chosen id from the settings; the built-in synthesizer when none was chosen. */
    static QString selectedId();

    /** Makes the output of an id (not yet open); none and a message for an unknown id. */
    static std::unique_ptr<MidiOutput> create(const QString& id, QString* error);

    /** The id of an ALSA port, stable across restarts (names, not numbers). */
    static QString alsaId(const QString& clientName, const QString& portName);
};
