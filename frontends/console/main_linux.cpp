// digital-id-enroll: the command-line front end of the installer on Linux.
#include "frontends/console/console_program.h"
#include "platform/linux/linux_platform.h"

int main(int argc, char** argv) {
  return digital_id::RunConsoleProgram<digital_id::LinuxPlatform>(argc, argv);
}
