#pragma once

#include "pitch_spelling.h"

#include <QString>

/*
 * Keys by name ("Ebmaj", "F#min") and by key signature.
 *
 * A key signature counts sharps (positive) or flats (negative), -7..+7, as the MIDI key
 * signature event does; a minor key carries the signature of its relative major. Songs store
 * keys by name, so the names and the canonical spellings below are part of the file format.
 * Pure functions, safe from any ordinary thread.
 */

constexpr int kMinSignature = -7;
constexpr int kMaxSignature = 7;
/** The result of a transposition that finds no key (only for signatures outside -7..+7). */
constexpr int kNoSignature = 8;

/** A key read from its name: signature, mode and the spelling of its tonic. */
struct ParsedKey
{
    int signature = 0;
    bool minor = false;
    int tonicTpc = kNoTpc; // kNoTpc when the name could not be read
};

/** "Cmaj", "Amin", "Cbmaj" ... "A#min"; an empty string for a signature outside -7..+7. */
QString keyName(int signature, bool minor);

/**
 * Reads a key name: a note (parseNote) and, when the rest is "min" in any case, minor; anything
 * else after the note is major. The signature comes from the tonic's pitch class, so enharmonic
 * names come back in the canonical spelling ("C#maj" gives -5, "Cbmaj" 5). Empty or unreadable
 * text gives C major with tonicTpc = kNoTpc.
 */
ParsedKey parseKey(const QString& text);

/** Signature of the major key on a tonic pitch class (any int is folded); always -5..+6. */
int signatureOfTonic(int pitch);

/**
 * Semitones to add to a pitch in the key with this signature so that its major tonic lands on
 * C (-6..+6). A signature outside -7..+7 has no shift (0).
 */
int shiftToC(int signature);

/**
 * Semitones from the major tonic of signature a up to that of signature b, folded into -5..+6;
 * 0 when a = b.
 */
int keyInterval(int a, int b);

/**
 * The signature of the key a number of semitones above (negative: below) the given one. The
 * first matching signature from -7 upwards wins, so flat spellings come first (C major up by 11
 * is Cb major). A shift of 0 returns the signature unchanged.
 */
int transposeKey(int signature, int semitones);

/**
 * The key name transposed by semitones, keeping the mode. A shift of 0 and a name that cannot
 * be read are returned unchanged.
 */
QString transposedKeyName(const QString& name, int semitones);
