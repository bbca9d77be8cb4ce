// The service entry and its control handler: what the service control
// dispatcher runs when the manager starts the service "Oskavelde", and what
// takes the manager's controls.
#pragma once

#include "platform/module.h"
#include "platform/scm/service_dispatcher.h"
#include "platform/win_types.h"

using RegisterServiceCtrlHandlerFn = platform::SERVICE_STATUS_HANDLE (*)(platform::LPCSTR service_name,
                                                                         platform::LPHANDLER_FUNCTION handler);
using RegisterServiceCtrlHandlerExFn = platform::SERVICE_STATUS_HANDLE (*)(platform::LPCSTR service_name,
                                                                           platform::LPHANDLER_FUNCTION_EX handler,
                                                                           platform::LPVOID context);

// The status handle of the registered handler; null until the registration
// has succeeded.
extern platform::SERVICE_STATUS_HANDLE hServiceStatus;
// The service's status record: reported by the entry and the handler, and
// the buffer of the management commands' stop control and queries.
extern platform::SERVICE_STATUS ssStatus;
extern platform::HMODULE hlibAdvapi;
extern RegisterServiceCtrlHandlerFn lpfnRegisterServiceCtrlHandler;
extern RegisterServiceCtrlHandlerExFn lpfnRegisterServiceCtrlHandlerEx;

// Registers the handler (the older form on NT 4, the extended form on every
// other version), reports the service running and runs the main cycle;
// returns when it returns, or at once when no handler can be registered.
void ServiceMain(platform::DWORD argc, platform::LPSTR *argv);

// The control handler: the stop sequence for a stop, the status reported
// again for any other control. Returns NO_ERROR for every control.
platform::DWORD HandlerEx(platform::DWORD control, platform::DWORD event_type, platform::LPVOID event_data,
                          platform::LPVOID context);
void Handler(platform::DWORD control);
