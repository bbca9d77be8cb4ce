// The program's entry on Linux: the start-up code keeps the command line
// and runs WinMain, whose result is the exit code.
#include "platform/crt/start_up.h"
#include "runtime/process_entry.h"

int main(int argc, char **argv) { return platform::StartUp(argc, argv, WinMain); }
