#pragma once

#include "command.h"

#include <QObject>
#include <memory>
#include <vector>

class QAction;
class CompoundCommand;

/**
 * CommandList: the session's undo list.
 *
 * An ordered list of commands with a current position (the last applied command, or none).
 * The list owns its commands. A command taken out of the list (the undone tail discarded by a
 * push, a dropped command, a rolled-back command) is not destroyed at once but set aside, so a
 * caller that still holds a pointer to it never holds a dangling one; everything set aside is
 * destroyed by clear() (a new song) and with the list. Objects a command owns die with it.
 *
 * GUI thread only. Applying a command may wait for the audio engine while processing events;
 * a push, revert, redo, drop or rollback asked for meanwhile is refused (returns false), and a
 * clear() asked for meanwhile happens when the running operation ends.
 */
class CommandList : public QObject
{
    Q_OBJECT

public:
    explicit CommandList(QObject* parent = nullptr);
    ~CommandList() override;

    /**
     * Discards the commands after the current one, appends the command, makes it current and
     * applies it. Returns the result of apply (a failed command stays in the list).
     */
    bool push(std::unique_ptr<Command> command);
    /** Reverts the current command and moves one back; false when there is none. */
    bool revert();
    /** Moves to the next command and applies it; false when there is none. */
    bool redo();
    /** Takes the current command out; its changes stay. Used right after push. */
    bool dropCurrent();
    /**
     * Reverts and takes out every command after `command` (all applied ones when none), and
     * discards the undone tail. Refused (false, nothing happens) when `command` is not an
     * applied command of the list.
     */
    bool rollbackTo(Command* command);
    /**
     * Makes the applied commands after position `since` (-1: all of them) one undo step: they
     * move into `group`, which becomes the current command without being applied again, and
     * the undone tail is discarded. Pushes the group even when it is empty, so an action that
     * changed the song outside commands still gets its step. Refused (false) while busy or when
     * `since` is not an applied position.
     */
    bool groupSince(int since, std::unique_ptr<CompoundCommand> group);
    /** Destroys every command, those set aside included. */
    void clear();

    /** The last applied command, or none. */
    Command* current() const;
    /** The command redo() would apply, or none. */
    Command* next() const;
    int count() const { return int(m_commands.size()); }
    /** Index of the current command, -1 when none. */
    int currentIndex() const { return m_current; }
    Command* at(int index) const;
    int setAsideCount() const { return int(m_setAside.size()); }

    /**
     * Labels an Undo or Redo action: drops a trailing " (...)" from its text and appends
     * " (name)" for the command (nothing when there is none).
     */
    static void labelAction(QAction* action, const Command* command);
    /** The text labelAction() gives an action whose text is `text`. */
    static QString labelText(const QString& text, const Command* command);

Q_SIGNALS:
    /**
     * The list or the session changed through it; reportsChange is the flag of the command
     * that ran (any of them for a rollback; false for a drop or a clear).
     */
    void changed(bool reportsChange);
    /**
     * A track state command set a track flag (parameter kind TrackRecord, TrackMute or
     * TrackSolo) on the track at row; the control-surface mapping follows it.
     */
    void trackParamChanged(int param, int row, bool on);

private:
    /** Guards one operation against re-entry from events processed while it waits. */
    class Busy;

    void setAsideTail();
    void setAside(int index);
    void destroyAll();

    std::vector<std::unique_ptr<Command>> m_commands;
    std::vector<std::unique_ptr<Command>> m_setAside;
    int m_current = -1;
    bool m_busy = false;
    bool m_clearPending = false;
};
