#include "platform/installed_components.h"

#include "platform/regexp/regexp_component.h"
#include "platform/stream/stream_component.h"

void register_installed_components() {
  register_regexp_component();
  register_stream_class();
}
