// The diagnostic dump: a description of the agent and of the machine
// written to the debug log.
#pragma once

// Version and platform texts of the agent, which the protocol server sends
// in identification and browse records. Only the dump writes local_version,
// and the agent never calls the dump; nothing writes local_platform. So in a
// running agent both are empty.
extern char local_version[32];
extern char local_platform[122];

// Writes the version banner, the program directory, the sizes of the
// shared records and basic types, the debug state, a byte-order probe of
// the client protocol header (from k_monitor 3 on), and the processor and
// memory figures through printfc, and sets local_version on the way, even
// when both debug switches are off. Returns 0.
int system_info();
