#pragma once

#include <QString>

/**
 * The system temporary folder, where recorded takes and peak files go: QDir::tempPath(), or
 * /tmp when TMPDIR names a folder that does not exist. Qt answers "" then, and a file named
 * relative to "" lands in the working folder, wherever the program was started.
 */
QString tempFolder();
