#include "make_chords.h"

#include "error_box.h"
#include "error_log.h"
#include "key_detection.h"
#include "key_edit_dialog.h"
#include "key_names.h"
#include "message_box.h"
#include "midi_clip.h"
#include "session.h"
#include "song_making.h"
#include "song_state.h"
#include "song_undo_step.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("makeChords", text);
}

QString title()
{
    return tr("Making Chord arrangement from MIDI melody");
}

bool confirmOverwrite(QWidget* parent, const SongState& song)
{
    if (!song.chordsChanged)
        return true;
    const QString text =
        tr("The current Chord arrangement has been manually changed.\nSome of non-fixed chords "
           "may be replaced automatically.\n%1\n\nProcess anyway?")
            .arg(song.sectionsFixed ? QString() : tr("The song sections may be removed too."));
    MessageBox::Request request{
        QMessageBox::Question, title(), text, QMessageBox::Yes | QMessageBox::No,
        QMessageBox::NoButton, {}};
    return MessageBox::ask(parent, request) == QMessageBox::Yes;
}

} // namespace

bool makeChords(QWidget* parent, Session& session, MidiClip& melody)
{
    SongState& song = *SongState::of(&session);
    if (!confirmOverwrite(parent, song))
        return false;
    SongUndoStep step(session, tr("Make Chords"));

    QProgressDialog progress(title(), tr("Abort"), 0, 3, parent);
    progress.setWindowTitle(title());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setMinimumWidth(400);
    progress.setValue(0);

    findChordsAndArrange(
        session, melody, [&](int step) { progress.setValue(step); }, ChordFinderSetting::current());
    if (song.songChanged)
        song.songChanged();
    progress.setValue(3);
    progress.close();
    // A bar whose candidates all fell out ("findChord: null chord") is reported once.
    ErrorBox::show(parent);
    return true;
}

bool editKey(QWidget* parent, Session& session, MidiClip& melody)
{
    SongState& song = *SongState::of(&session);
    const DetectedKey detected = detectKey(melody.sequence());
    song.suggestedKey = keyName(detected.signature, detected.minor);

    KeyEditDialog form(parent);
    form.setKey(song.displayedKey(), transposedKeyName(song.suggestedKey, song.transpose));
    const int answer = form.exec();
    if (answer != KeyEditDialog::Automatic && answer != KeyEditDialog::Fixed)
        return false;
    SongUndoStep step(session, tr("Key Change"));
    if (answer == KeyEditDialog::Automatic) {
        song.keyFixed = false;
        song.key = song.suggestedKey;
    } else {
        song.keyFixed = true;
        song.key = transposedKeyName(form.key(), -song.transpose);
    }
    Q_EMIT song.keyChanged();
    makeChords(parent, session, melody);
    return true;
}
