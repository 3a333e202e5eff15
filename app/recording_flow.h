#pragma once

class Session;

/**
 * RecordingFlow: what the window's Record action asks of the session and the audio engine.
 *
 * Whether the sound card gives input at all, whether a take had to stop because the disk is
 * full, and stopping: every take of the record-armed tracks becomes a clip through one undoable
 * "record clip" command.
 *
 * GUI thread only.
 */
class RecordingFlow
{
public:
    /** False when the audio engine's device opened without input: nothing can be recorded. */
    static bool hasInput(const Session* session);
    /** True when a take stopped because its file could take no more (the disk is full). */
    static bool isDiskFull(const Session* session);
    /**
     * Stops the transport and recording, and pushes the "record clip" command with the takes
     * of every record-armed track. False when no take held anything.
     */
    static bool stop(Session* session);
};
