// The diagnostic dump: a description of the agent and of the machine
// written to the debug log.
#pragma once

// Writes the version banner, the program directory, the sizes of the
// shared records and basic types, the debug state, a byte-order probe of
// the client protocol header (from k_monitor 3 on), and the processor and
// memory figures through printfc, and sets local_version on the way, even
// when both debug switches are off. Returns 0.
int system_info();
