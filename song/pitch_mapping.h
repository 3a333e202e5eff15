#pragma once

#include <QString>

/*
 * Moving the notes of an accompaniment pattern onto a chord. Style parts are written over one
 * source chord (C major seventh unless the pattern says otherwise); each pattern note moves by
 * the interval between the two roots, folded into a tritone either way so the part stays in its
 * register, plus the chord type's voicing shift for the note's interval above the source root
 * (the third of a minor chord drops, a seventh of a dominant chord drops ...). Pure functions, any
 * thread.
 */

/** The source chord of a pattern that names none. */
inline constexpr QLatin1StringView kDefaultSourceChord("CMaj7");

/**
 * The pitch of a pattern note (written over sourceChord) played over chord. Empty, "Drums" and
 * "Empty..." chords, and chords whose name cannot be read, leave the pitch unchanged. A result
 * below 0 is raised an octave; one above 127 is dropped an octave until it fits.
 */
int mapPitch(int pitch, const QString& chord, const QString& sourceChord);
