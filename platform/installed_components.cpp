#include "platform/installed_components.h"

void register_installed_components() {
  // Each component's registration is listed here as it is built.
}
