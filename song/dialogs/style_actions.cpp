#include "style_actions.h"

#include "arrangement.h"
#include "error_box.h"
#include "make_chords.h"
#include "message_box.h"
#include "meter_edit_dialog.h"
#include "session.h"
#include "session_command.h"
#include "song_state.h"
#include "song_undo_step.h"
#include "style_loader.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("styleActions", text);
}

struct Meter
{
    uint16_t beats = 4;
    uint16_t unit = 2;
    bool operator==(const Meter&) const = default;
};

Meter sessionMeter(Session& session)
{
    const TempoNode* node = session.scale().firstNode();
    return node ? Meter{node->beatsPerBar, node->beatUnit} : Meter{};
}

Meter styleMeter(const SongState& song)
{
    return {song.styleBeats, song.styleBeatUnit};
}

bool askYesNo(QWidget* parent, const QString& text)
{
    MessageBox::Request request{QMessageBox::Question,
                                MessageBox::title(),
                                text,
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::NoButton,
                                {}};
    return MessageBox::ask(parent, request) == QMessageBox::Yes;
}

// The session meter changes through the undo list; the tempo stays.
void setSessionMeter(Session& session, const Meter& meter)
{
    if (sessionMeter(session) == meter)
        return;
    session.push(std::make_unique<TempoCommand>(&session, 0.0f, 0, meter.beats, meter.unit));
}

// Chords are found again when there is a melody to find them for, which also rebuilds the
// arrangement; otherwise only the sections and the arrangement are rebuilt.
void refindChords(QWidget* parent, Session& session, MidiClip* melody)
{
    if (melody) {
        makeChords(parent, session, *melody);
        return;
    }
    arrangeSong(session, melody);
}

void refresh(Session& session)
{
    SongState& song = *SongState::of(&session);
    if (song.songChanged)
        song.songChanged();
}

/** Sets the wait cursor for its lifetime; lifted early for a question. */
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { lift(); }
    void lift()
    {
        if (m_on)
            QGuiApplication::restoreOverrideCursor();
        m_on = false;
    }

private:
    bool m_on = true;
};

} // namespace

bool openStyleFlow(QWidget* parent, Session& session, const QString& path, MidiClip* melody)
{
    SongState& song = *SongState::of(&session);
    // The style's tracks, a meter correction and the new chords undo as one step.
    SongUndoStep step(session, tr("Open Style"));
    WaitCursor wait;
    const bool ok = openStyle(session, path);
    const Meter style = styleMeter(song);
    if (!(style == sessionMeter(session))) {
        wait.lift();
        const QString text =
            tr("The style meter (%1/%2) cannot be synchronized with the current meter.\nDo you "
               "want to load this style, correct the current meter and refind chords?")
                .arg(style.beats)
                .arg(MeterEditDialog::noteValue(style.unit));
        if (askYesNo(parent, text)) {
            setSessionMeter(session, style);
            refindChords(parent, session, melody);
        } else {
            openStyle(session, QString());
            arrangeSong(session, melody);
        }
    } else {
        arrangeSong(session, melody);
    }
    wait.lift();
    if (!ok)
        ErrorBox::show(parent, tr("The style file was not loaded:\n\n\"%1\"").arg(path));
    else if (!path.isEmpty() && !styleMainSectionPlays(song))
        MessageBox::warning(parent, silentStyleMessage(song.styleName));
    refresh(session);
    return ok && !path.isEmpty();
}

bool editMeter(QWidget* parent, Session& session, MidiClip* melody)
{
    SongState& song = *SongState::of(&session);
    MeterEditDialog form(parent);
    const Meter current = sessionMeter(session);
    form.setMeter(current.beats, current.unit);
    if (form.exec() != QDialog::Accepted)
        return false;
    const Meter chosen{form.beatsPerBar(), form.beatUnit()};
    if (chosen == styleMeter(song))
        return false;
    if (song.styleBeats != 0) {
        const QString text = tr("The selected meter cannot be synchronized with\nthe current style "
                                "meter (%1/%2).\nLoad the default piano style and refind chords?")
                                 .arg(song.styleBeats)
                                 .arg(MeterEditDialog::noteValue(song.styleBeatUnit));
        if (!askYesNo(parent, text))
            return false;
    }
    SongUndoStep step(session, tr("Meter Change"));
    setSessionMeter(session, chosen);
    openStyle(session, QString());
    refindChords(parent, session, melody);
    refresh(session);
    return true;
}
