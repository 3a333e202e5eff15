#pragma once

class Session;

/**
 * GUI thread: returns once no audio cycle is inside the session, so a cycle that starts later
 * sees every change made before the call (a stop, a cleared pointer) and whatever the earlier
 * cycle read may be freed. Returns at once inside an edit, which keeps the cycles out already.
 */
void waitForEngineCycleEnd(Session& session);
