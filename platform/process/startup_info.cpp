#include "platform/process/startup_info.h"

void GetStartupInfoA(STARTUPINFOA* info) {
  if (info == nullptr) return;
  *info = STARTUPINFOA{};
  info->cb = kStartupInfoRecordSize;
}
