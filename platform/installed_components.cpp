#include "platform/installed_components.h"

#include "platform/regexp/regexp_component.h"
#include "platform/script/script_control.h"
#include "platform/stream/stream_component.h"

void register_installed_components() {
  register_regexp_component();
  register_script_control();
  register_stream_component();
}
