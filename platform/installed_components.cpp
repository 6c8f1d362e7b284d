#include "platform/installed_components.h"

#include "platform/regexp/regexp_component.h"

void register_installed_components() {
  // Each component's registration is listed here as it is built.
  register_regexp_component();
}
