// Scores the chord finders against the chords a musician plays to a set of tunes.
//
// Usage: cantova_chord_score [--show TEXT] TUNES.txt
//
// --show prints, for the tunes whose title contains TEXT, every bar: the musician's chords, the
// progression finder's and the classic finder's (each with the key it finds), for tuning.
//
// Each tune of TUNES.txt (format in tools/chord-set/README.md) becomes a melody at 960 ticks per
// quarter note; Make Chords runs on it with the progression finder and with the classic finder,
// each once with the key it finds itself (as the program does) and once with the tune's true
// key fixed. Two baselines get the true key: the tonic triad in every bar, and per bar the
// diatonic triad (I ii iii IV V vi; minor: i III iv V VI VII) whose tones cover most of the
// bar's note duration. Every bar is compared with the musician's chord: in even meters its two
// halves count half a bar each (the chord sounding at each half's start), in odd meters the
// chord at the bar's start. Printed: root, root plus major/minor, and exact accuracy per
// finder, over all tunes and per meter and mode, then root accuracy per tune.
#include "chord_maker.h"
#include "chord_text.h"
#include "chord_tune.h"
#include "key_names.h"
#include "lane_events.h"
#include "midi_sequence.h"
#include "pitch_spelling.h"
#include "song_making.h"
#include "song_state.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <map>

namespace {

enum System
{
    NewOwnKey,
    ClassicOwnKey,
    NewTrueKey,
    ClassicTrueKey,
    Tonic,
    Diatonic,
    SystemCount
};
const char* const kSystemNames[] = {"progression",      "classic",        "progression/true key",
                                    "classic/true key", "tonic baseline", "diatonic baseline"};

struct Score
{
    double bars = 0, root = 0, quality = 0, exact = 0;
    void add(const Score& o)
    {
        bars += o.bars;
        root += o.root;
        quality += o.quality;
        exact += o.exact;
    }
};

struct Chord
{
    int root = -1;
    uint16_t mask = 0;
    bool minor = false;
};

Chord readChord(const QString& name)
{
    const ParsedChord p = parseChord(name);
    if (!p.isValid())
        return {};
    const uint16_t m = p.type->toneMask;
    return {pitchClass(tpcPitch(p.root)), m, (m >> 3 & 1u) && !(m >> 4 & 1u)};
}

// The chord sounding at tick (the last chord at or before it).
QString soundingChord(const MidiSequence& melody, uint32_t tick)
{
    return laneText(lastLaneEventAtOrBefore(melody, tick, ChordLane));
}

void compare(const QString& truth, const QString& found, double share, Score& score)
{
    const Chord t = readChord(truth), f = readChord(found);
    score.bars += share;
    if (t.root < 0 || f.root != t.root)
        return;
    score.root += share;
    if (f.minor == t.minor)
        score.quality += share;
    if (f.mask == t.mask)
        score.exact += share;
}

using Namer = std::function<QString(int bar, int half)>;

Score scoreTune(const ChordTune& tune, const Namer& found)
{
    Score score;
    const int halves = tune.meter.beats % 2 == 0 ? 2 : 1;
    for (int bar = tune.firstScoredBar(); bar < tune.barCount(); ++bar)
        for (int h = 0; h < halves; ++h)
            compare(tune.chordAt(bar, h, halves), found(bar, h), 1.0 / halves, score);
    return score;
}

QString shown; // --show

Score runFinder(const ChordTune& tune, ChordFinderKind kind, bool trueKey)
{
    MidiSequence melody(tune.title, 0, ChordTune::kTicksPerQuarter);
    tune.fill(melody);
    SongState song;
    if (trueKey) {
        song.key = tune.key;
        song.keyFixed = true;
    }
    const uint32_t bar = tune.barTicks();
    ChordMaker(song, melody, bar, kind, tune.meter).run();
    const int halves = tune.meter.beats % 2 == 0 ? 2 : 1;
    const auto found = [&](int b, int h) {
        return soundingChord(melody, uint32_t(b) * bar + uint32_t(h) * (bar / uint32_t(halves)));
    };
    if (!shown.isEmpty() && !trueKey && tune.title.contains(shown, Qt::CaseInsensitive)) {
        QTextStream out(stdout);
        out << tune.title << ' ' << ChordFinderSetting::text(kind) << " key " << song.key << ":";
        for (int b = tune.firstScoredBar(); b < tune.barCount(); ++b) {
            out << (b % 8 == 0 ? "\n  " : " ") << "|";
            for (int h = 0; h < halves; ++h) {
                const QString t = tune.chordAt(b, h, halves), f = found(b, h);
                out << ' ' << t << (readChord(t).root == readChord(f).root ? "=" : "/") << f;
            }
        }
        out << "\n";
    }
    return scoreTune(tune, found);
}

// The key's triads, as chord names, for the baselines.
QStringList triadsOf(const QString& key)
{
    const ParsedKey k = parseKey(key);
    const int tonic = pitchClass(-shiftToC(k.signature) + (k.minor ? 9 : 0));
    struct Degree
    {
        int step;
        const char* suffix;
    };
    static const Degree major[] = {{0, ""}, {2, "m"}, {4, "m"}, {5, ""}, {7, ""}, {9, "m"}};
    static const Degree minor[] = {{0, "m"}, {3, ""}, {5, "m"}, {7, ""}, {8, ""}, {10, ""}};
    QStringList names;
    for (const Degree& d : k.minor ? minor : major)
        names << QString(sharpNoteName(tonic + d.step)) + QLatin1String(d.suffix);
    return names;
}

Score tonicBaseline(const ChordTune& tune)
{
    const QString tonic = triadsOf(tune.key).first();
    return scoreTune(tune, [&](int, int) { return tonic; });
}

Score diatonicBaseline(const ChordTune& tune)
{
    const QStringList triads = triadsOf(tune.key);
    return scoreTune(tune, [&](int bar, int) {
        const std::array<double, 12> d = tune.barDurations(bar);
        QString best = triads.first();
        double most = -1;
        for (const QString& t : triads) {
            const Chord c = readChord(t);
            double covered = 0;
            for (int pc = 0; pc < 12; ++pc)
                if (c.mask >> pitchClass(pc - c.root) & 1u)
                    covered += d[size_t(pc)];
            if (covered > most) {
                most = covered;
                best = t;
            }
        }
        return best;
    });
}

QString percent(double part, double whole)
{
    return whole > 0 ? QString::number(100.0 * part / whole, 'f', 1) : QStringLiteral("-");
}

void printTable(QTextStream& out, const std::map<QString, std::array<Score, SystemCount>>& groups)
{
    out << "group        bars   ";
    for (const char* name : kSystemNames)
        out << QString::fromLatin1(name).leftJustified(22);
    out << "\n                    ";
    for (int s = 0; s < SystemCount; ++s)
        out << QStringLiteral("root  r+q   exact ").leftJustified(22);
    out << '\n';
    for (const auto& [group, scores] : groups) {
        out << group.leftJustified(12) << QString::number(scores[0].bars, 'f', 0).rightJustified(5)
            << "   ";
        for (const Score& s : scores)
            out << (percent(s.root, s.bars).leftJustified(6) +
                    percent(s.quality, s.bars).leftJustified(6) + percent(s.exact, s.bars))
                       .leftJustified(22);
        out << '\n';
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.size() > 2 && args.first() == QLatin1String("--show")) {
        shown = args.at(1);
        args = args.mid(2);
    }
    if (args.size() != 1) {
        err << "Usage: cantova_chord_score [--show TEXT] TUNES.txt\n";
        return 2;
    }
    QString error;
    const std::vector<ChordTune> tunes = ChordTune::readFile(args.first(), error);
    if (!error.isEmpty()) {
        err << error << '\n';
        return 1;
    }
    std::map<QString, std::array<Score, SystemCount>> groups;
    QStringList perTune;
    int belowTonic = 0;
    for (const ChordTune& tune : tunes) {
        std::array<Score, SystemCount> s = {runFinder(tune, ChordFinderKind::Progression, false),
                                            runFinder(tune, ChordFinderKind::Classic, false),
                                            runFinder(tune, ChordFinderKind::Progression, true),
                                            runFinder(tune, ChordFinderKind::Classic, true),
                                            tonicBaseline(tune),
                                            diatonicBaseline(tune)};
        const QString meter =
            QStringLiteral("%1/%2").arg(tune.meter.beats).arg(1 << tune.meter.unit);
        const QString mode =
            parseKey(tune.key).minor ? QStringLiteral("minor") : QStringLiteral("major");
        for (const QString& g : {QStringLiteral("all"), meter, mode})
            for (int i = 0; i < SystemCount; ++i)
                groups[g][size_t(i)].add(s[size_t(i)]);
        const bool below = s[NewOwnKey].root + 1e-9 < s[Tonic].root;
        belowTonic += below;
        perTune << QStringLiteral("%1 %2 %3 %4  new %5  classic %6  tonic %7  diatonic %8%9")
                       .arg(tune.title.left(34).leftJustified(34), meter.leftJustified(4),
                            tune.key.leftJustified(6))
                       .arg(s[0].bars, 3, 'f', 0)
                       .arg(percent(s[NewOwnKey].root, s[0].bars).rightJustified(5),
                            percent(s[ClassicOwnKey].root, s[0].bars).rightJustified(5),
                            percent(s[Tonic].root, s[0].bars).rightJustified(5),
                            percent(s[Diatonic].root, s[0].bars).rightJustified(5),
                            below ? QStringLiteral("  BELOW TONIC") : QString());
    }
    out << tunes.size() << " tunes; accuracy per bar in %\n\n";
    printTable(out, groups);
    out << "\nroot accuracy per tune (finders with the key they find):\n"
        << perTune.join('\n') << "\n\ntunes below the tonic baseline: " << belowTonic << '\n';
    return 0;
}
