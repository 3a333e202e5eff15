#pragma once

#include <QString>
#include <vector>

struct ChordType;

/**
 * HarmonyKind: a chord dictionary row as a notation harmony: one of the kind words notation
 * programs know, and the degrees added, altered or left out against it.
 *
 * The dictionary's own words mostly are such kinds; the few that are not become the nearest
 * kind with degrees ("maj69" is a major sixth with an added ninth, "augmented-ninth" an augmented
 * seventh with one), and anything unknown is
 * "other", which programs show by its text. Pure functions; safe from any ordinary thread.
 */
struct HarmonyKind
{
    struct Degree
    {
        int value = 0; // 9 for a ninth
        int alter = 0; // semitones: -1 flat, +1 sharp
        QString type;  // "add", "alter" or "subtract"
    };

    QString kind;
    std::vector<Degree> degrees;

    static HarmonyKind of(const ChordType& type);
    /** Reads "add#11 altb5 subtract3"; words it cannot read are left out. */
    static std::vector<Degree> readDegrees(const QString& text);
    /** True for the kind words of notation harmonies. */
    static bool isKnownKind(const QString& kind);
};
