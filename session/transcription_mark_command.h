#pragma once

#include "clip.h"
#include "property_command.h"

#include <QObject>

/**
 * TranscriptionMarkCommand: whether a recording's melody must be transcribed again, set as part
 * of an action's undoable step, so that undoing the action gives back the mark the recording had
 * and redoing it sets the action's mark again (Make Song transcribes only a marked recording).
 * The clip must outlive the command's place on the undo list, as for every clip command.
 */
class TranscriptionMarkCommand : public PropertyCommand<bool>
{
public:
    TranscriptionMarkCommand(Clip* clip, bool needsTranscription)
        : PropertyCommand(QObject::tr("transcription mark"), needsTranscription), m_clip(clip)
    {
    }

protected:
    bool read(bool& needsTranscription) const override
    {
        if (m_clip)
            needsTranscription = m_clip->needsTranscription();
        return m_clip != nullptr;
    }
    void write(const bool& needsTranscription) override
    {
        m_clip->setNeedsTranscription(needsTranscription);
    }

private:
    Clip* m_clip;
};
