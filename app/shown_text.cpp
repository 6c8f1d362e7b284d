#include "app/shown_text.h"

namespace {

bool is_control(char byte) {
  const auto code = static_cast<unsigned char>(byte);
  return (code < 0x20 && code != '\t') || code == 0x7F;
}

}  // namespace

Text without_control_characters(Text text) {
  char* block = text.release();
  for (char* at = block; at != nullptr && *at != '\0'; ++at) {
    if (is_control(*at)) *at = '?';
  }
  return Text::adopt(block);
}
