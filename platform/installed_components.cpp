#include "platform/installed_components.h"

#include "platform/stream/stream_component.h"

void register_installed_components() {
  // Each component's registration is listed here as it is built.
  register_stream_class();
}
