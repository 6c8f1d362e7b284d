#include "platform/installed_components.h"

#include "platform/script/script_control.h"

void register_installed_components() {
  // Each component's registration is listed here as it is built.
  register_script_control();
}
