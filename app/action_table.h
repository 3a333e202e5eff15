#pragma once

/**
 * ActionEntry: one row of the main window's action table.
 *
 * The texts are untranslated source texts of the "MainWindow" context; an empty icon text,
 * tool tip or status tip is the same as the column before it. The slot is a SLOT() signature
 * the action's triggered(bool) is connected to (none for actions wired elsewhere).
 */
struct ActionEntry
{
    const char* objectName;
    const char* text;
    const char* iconText;
    const char* toolTip;
    const char* statusTip;
    const char* shortcut;
    const char* icon; // resource name under ":/images/", empty for none
    bool checkable;
    const char* slot;
};

/** The main window's actions in the order the window creates them. */
const ActionEntry* actionTable(int* count);
