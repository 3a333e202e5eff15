#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

class MidiClip;
class TracksView;

/**
 * SongLane: a thin read-only strip under the time ruler that shows what the song holds: the
 * section names and the chords of the melody's lanes at their places in time, and the key.
 *
 * The main window hands it the melody clip and the key whenever the song changed; the lane
 * keeps its own copy of the labels, so it never reads a melody that changes under it. The
 * piano roll is where the lanes are edited. GUI thread only.
 */
class SongLane : public QWidget
{
    Q_OBJECT

public:
    struct Label
    {
        uint32_t frame = 0; // where the label starts on the timeline
        int kind = 0;       // ChordLane or SectionLane
        QString text;       // chords as displayed (transposed for display)
    };

    explicit SongLane(TracksView* view);

    /** Reads the lanes of the melody (none: an empty lane) and the key to show. */
    void setSong(const MidiClip* melody, const QString& key, int transpose);
    const std::vector<Label>& labels() const { return m_labels; }
    const QString& key() const { return m_key; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TracksView* m_view;
    std::vector<Label> m_labels;
    QString m_key;
};
