#include <cstdio>
#include <utility>

#include "platform/com/apartment.h"
#include "platform/console/message_box.h"
#include "platform/process/exit_process.h"
#include "runtime/memory.h"

namespace {

ExitCallback exit_callback = nullptr;

// The report's second line for error numbers 1 to 11.
constexpr const char* kMessages[] = {
    "数组成员引用下标超出定义范围",
    "未得到所需要的数值型数据",
    "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
    "数组成员引用下标必须大于等于1",
    "数据或数组类型不匹配",
    "调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确",
    "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
    "被比较数据只能使用等于或不等于命令比较",
    "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
    "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
    "所提供参数的数据类型不符合要求",
};

const char* message_of(std::int32_t number) {
  constexpr std::int32_t count = sizeof kMessages / sizeof kMessages[0];
  return number >= 1 && number <= count ? kMessages[number - 1] : "";
}

}  // namespace

void fatal_error(std::int32_t number) {
  char report[256];
  std::snprintf(report, sizeof report, "program internal error number is %d. \r\n%s", number,
                message_of(number));
  MessageBoxA(nullptr, report, "error", MB_ICONERROR);
  exit_program(0);
}

void set_exit_callback(ExitCallback routine) {
  exit_callback = routine;
}

void exit_program(std::int32_t code) {
  // Taken out before it runs: a callback that ends in a fatal error or an out-of-memory report
  // comes back here, and must not run again.
  if (const ExitCallback routine = std::exchange(exit_callback, nullptr)) routine();
  CoUninitialize();
  ExitProcess(static_cast<UINT>(code));
}
