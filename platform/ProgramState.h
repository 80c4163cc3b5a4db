#pragma once

namespace program {

// True once the user has accepted a restart of ACT! from the integration
// dialog; the main window's unload routine and event handlers read it.
inline bool RestartAct = false;

} // namespace program
