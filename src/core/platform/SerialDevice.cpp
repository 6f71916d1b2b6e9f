#include "core/platform/SerialDevice.h"

namespace tapwise {

const char* OpenStatusText(OpenStatus status) {
  switch (status) {
    case OpenStatus::Opened: return "opened";
    case OpenStatus::Absent: return "absent";
    case OpenStatus::Busy: return "busy";
    case OpenStatus::NotPermitted: return "not permitted";
    case OpenStatus::NotATty: return "not a tty";
    case OpenStatus::NoDescriptors: return "too many open files";
    case OpenStatus::Failed: return "failed";
  }
  return "failed";
}

}  // namespace tapwise
