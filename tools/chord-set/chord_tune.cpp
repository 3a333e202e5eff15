#include "chord_tune.h"

#include "chord_text.h"
#include "key_names.h"
#include "midi_sequence.h"
#include "pitch_spelling.h"
#include "song_making.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

struct Fault
{
    QString text;
};

// "C4" is 60; "F#4", "Bb3" and the like.
int midiNote(const QString& name)
{
    static const QRegularExpression re(QStringLiteral("^([A-G])(#|b)?(-?\\d)$"));
    const auto m = re.match(name);
    if (!m.hasMatch())
        return -1;
    static const int steps[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    int pitch = steps[m.captured(1).at(0).unicode() - 'A'];
    if (m.captured(2) == QLatin1String("#"))
        ++pitch;
    else if (m.captured(2) == QLatin1String("b"))
        --pitch;
    return pitch + 12 * (m.captured(3).toInt() + 1);
}

// Beats as a number or fraction: "1", "0.5", "3/2".
double beatsOf(const QString& text)
{
    const int slash = text.indexOf(QLatin1Char('/'));
    bool ok = false, ok2 = true;
    const double value = slash < 0
                             ? text.toDouble(&ok)
                             : text.left(slash).toDouble(&ok) / text.mid(slash + 1).toDouble(&ok2);
    return ok && ok2 && value > 0 ? value : -1;
}

class Reader
{
public:
    explicit Reader(ChordTune& tune) : m_tune(tune) {}

    void token(const QString& t)
    {
        if (t == QLatin1String("|")) {
            closeBar();
        } else if (t.startsWith(QLatin1Char('"'))) {
            const QString chord = t.mid(1).chopped(1);
            if (!t.endsWith(QLatin1Char('"')) || !parseChord(chord).isValid())
                throw Fault{QStringLiteral("bar %1: not a chord: %2").arg(barNumber()).arg(t)};
            m_marks.push_back({m_inBar, chord});
        } else {
            note(t);
        }
    }

    void finish()
    {
        if (!m_barNotes.empty() || !m_marks.empty())
            closeBar(true);
    }

private:
    int barNumber() const { return m_tune.bars + 1; }

    void note(const QString& t)
    {
        const int colon = t.indexOf(QLatin1Char(':'));
        const QString name = colon < 0 ? t : t.left(colon);
        if (colon >= 0)
            m_beats = beatsOf(t.mid(colon + 1));
        const int pitch = name == QLatin1String("r") ? -2 : midiNote(name);
        if (pitch == -1 || m_beats <= 0)
            throw Fault{QStringLiteral("bar %1: not a note: %2").arg(barNumber()).arg(t)};
        const uint32_t unit = ChordTune::kTicksPerQuarter * 4 >> m_tune.meter.unit;
        const auto length = uint32_t(std::lround(m_beats * unit));
        if (pitch >= 0)
            m_barNotes.push_back({m_inBar, length, pitch});
        m_inBar += length;
    }

    void closeBar(bool last = false)
    {
        const uint32_t bar = m_tune.barTicks();
        uint32_t shift = 0;
        if (m_tune.bars == 0 && m_inBar < bar) {
            m_tune.pickup = true;
            shift = bar - m_inBar;
        } else if (m_inBar != bar && !(last && m_inBar < bar)) {
            throw Fault{QStringLiteral("bar %1 holds %2 of %3 ticks")
                            .arg(barNumber())
                            .arg(m_inBar)
                            .arg(bar)};
        }
        const uint32_t start = uint32_t(m_tune.bars) * bar + shift;
        for (const ChordTune::Note& n : m_barNotes)
            m_tune.notes.push_back({start + n.start, n.length, n.pitch});
        for (const ChordTune::Mark& m : m_marks)
            m_tune.marks.push_back({start + m.tick, m.chord});
        m_barNotes.clear();
        m_marks.clear();
        m_inBar = 0;
        ++m_tune.bars;
    }

    ChordTune& m_tune;
    std::vector<ChordTune::Note> m_barNotes;
    std::vector<ChordTune::Mark> m_marks;
    uint32_t m_inBar = 0;
    double m_beats = 1;
};

void readHeader(ChordTune& tune, const QString& name, const QString& value)
{
    if (name == QLatin1String("key")) {
        if (parseKey(value).tonicTpc == kNoTpc)
            throw Fault{QStringLiteral("not a key: %1").arg(value)};
        tune.key = value;
    } else if (name == QLatin1String("meter")) {
        const QStringList parts = value.split(QLatin1Char('/'));
        const int beats = parts.value(0).toInt(), unit = parts.value(1).toInt();
        if (parts.size() != 2 || beats < 1 || (unit != 2 && unit != 4 && unit != 8))
            throw Fault{QStringLiteral("not a meter: %1").arg(value)};
        tune.meter = {beats, unit == 2 ? 1 : unit == 4 ? 2 : 3};
    }
}

} // namespace

uint32_t ChordTune::barTicks() const
{
    return meterBarTicks(uint32_t(meter.beats), uint32_t(meter.unit), kTicksPerQuarter);
}

QString ChordTune::chordAt(int bar, int h, int halves) const
{
    const uint32_t tick =
        uint32_t(bar) * barTicks() + uint32_t(h) * (barTicks() / uint32_t(halves));
    QString chord;
    for (const Mark& m : marks)
        if (m.tick <= tick)
            chord = m.chord;
    return chord;
}

std::array<double, 12> ChordTune::barDurations(int bar) const
{
    std::array<double, 12> d{};
    const uint32_t from = uint32_t(bar) * barTicks(), to = from + barTicks();
    for (const Note& n : notes) {
        const uint32_t a = std::max(from, n.start), b = std::min(to, n.start + n.length);
        if (a < b)
            d[size_t(pitchClass(n.pitch))] += double(b - a);
    }
    return d;
}

void ChordTune::fill(MidiSequence& melody) const
{
    uint32_t end = 0;
    for (const Note& n : notes) {
        melody.insert(MidiEvent::note(n.start, uint8_t(n.pitch), 100, n.length));
        end = std::max(end, n.start + n.length);
    }
    melody.setLength(end);
}

std::vector<ChordTune> ChordTune::readFile(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return {};
    }
    std::vector<ChordTune> tunes;
    std::unique_ptr<Reader> reader;
    static const QRegularExpression header(QStringLiteral("^(tune|key|meter|source):\\s*(.*)$"));
    static const QRegularExpression space(QStringLiteral("\\s+"));
    int line = 0;
    try {
        while (!file.atEnd()) {
            const QString text = QString::fromUtf8(file.readLine()).trimmed();
            ++line;
            if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
                continue;
            const auto m = header.match(text);
            if (m.hasMatch() && m.captured(1) == QLatin1String("tune")) {
                if (reader)
                    reader->finish();
                tunes.emplace_back();
                tunes.back().title = m.captured(2);
                reader = std::make_unique<Reader>(tunes.back());
            } else if (m.hasMatch() && !tunes.empty()) {
                readHeader(tunes.back(), m.captured(1), m.captured(2));
            } else if (reader) {
                // Chord marks may hold no spaces; tokens are split at spaces and bar lines.
                QString spaced = text;
                spaced.replace(QLatin1String("|"), QLatin1String(" | "));
                for (const QString& t : spaced.split(space, Qt::SkipEmptyParts))
                    reader->token(t);
            } else {
                throw Fault{QStringLiteral("notes before the first tune")};
            }
        }
        if (reader)
            reader->finish();
    } catch (const Fault& f) {
        error = QStringLiteral("%1:%2: %3: %4")
                    .arg(path)
                    .arg(line)
                    .arg(tunes.empty() ? QString() : tunes.back().title, f.text);
        return {};
    }
    return tunes;
}
