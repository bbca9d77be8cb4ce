// The service management commands of the command line: install and remove
// the service "Oskavelde" with its description and event-log source, start
// and stop it, and the two steps they share (the last-error report and the
// wait for a stop).
#pragma once

#include "platform/scm/service_control.h"
#include "platform/win_types.h"

// The service's name (also the handler's registration name and the
// event-log source), the display name that fills the "%s" of every
// progress line, and the description written to the registry.
inline constexpr char kServiceName[] = "Oskavelde";
inline constexpr char kServiceDisplayName[] = "Oskavelde - SNMP Monitor";
inline constexpr char kServiceDescription[] = "UPS SNMP monitoring service";

// Installs the service, started automatically (demand 0) or on demand
// (non-zero), in the load-order group ProcessPriority. 1 when the
// program's path cannot be had; the registry's error code when the
// service's key cannot be opened or its description cannot be set or
// flushed; 0 otherwise, also when the manager cannot be opened or the
// service cannot be created.
int CmdInstallService(int demand);

// Stops the service if it runs, deletes it and removes its event-log
// source.
void CmdRemoveService();

// Asks the manager to start the service; a refused start stops the
// service and reports the start's error.
void CmdStartService();

// Asks the manager to stop the service and waits while it is stopping.
void CmdStopService();

// The event-log source key with its two values.
void MakeRegistryEntry();

// Removes the event-log source key; the status of the final close of the
// Application key.
int DeleteRegistryEntry();

// The last-error report: the system's text for the calling thread's last
// error into the debug log and, when box is non-zero, in a message box.
void WriteLastError(int box);

// The same report for a code taken earlier.
void WriteErrorText(platform::DWORD code, int box);

// Opens the service with the rights asked for. On failure: the last-error
// report (with a box when box is non-zero), "OpenService failed - ", the
// manager's handle closed, and null.
platform::SC_HANDLE OpenAgentService(platform::SC_HANDLE manager, platform::DWORD access, int box);

// Sends the stop control and, when the manager accepts it, waits for the
// stop. A refused stop passes silently when the service does not run;
// one that leaves it running is reported with its error and "failed to
// stop".
void StopAndWait(platform::SC_HANDLE service);

// After an accepted stop control: "Stopping", a dot a second while the
// service is stopping, then "stopped" or the report and "failed to stop".
void WaitServiceStop(platform::SC_HANDLE service);
