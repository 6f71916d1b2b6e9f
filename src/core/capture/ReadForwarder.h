#pragma once
// Where a receive thread passes on every chunk it reads, as it reads it and
// before the packet gap frames it: the hook of a tap, which writes what one
// side says to the other side at once.

#include <cstddef>
#include <cstdint>

namespace tapwise {

class ReadForwarder {
 public:
  virtual ~ReadForwarder() = default;
  // Called on the port's receive thread. It may wait while the far side is
  // slow, which holds back this port's reads alone; it keeps nothing of the
  // bytes' memory.
  virtual void Forward(const uint8_t* bytes, size_t count) = 0;
};

}  // namespace tapwise
