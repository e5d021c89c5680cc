// Putting the runtime's global state back between tests: every test of a suite runs in one
// process, in any order, so a fixture leaves the modules it touched as a fresh process has
// them.
#pragma once

// The input method shut down with no services or drivers, no composition under way or drawn,
// the hook's dead key forgotten, the key buffer, key-hit queue and scan-code port empty, and the
// host's pause, quit and exit requests clear, and no error pending.
void reset_input_state();

// Every sound handle closed, the sound queue and the raw stream emptied (the main loop's part
// done here, as no main loop runs), no wait for sound pending and no error left.
void reset_sound_state();
