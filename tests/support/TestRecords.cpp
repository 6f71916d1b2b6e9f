#include "support/TestRecords.h"

#include <cstring>

namespace tapwise {

std::unique_ptr<PacketRecord> MakeRecord(uint8_t port, std::string_view bytes, uint8_t origin, uint8_t error) {
  auto record = std::make_unique<PacketRecord>();
  record->Port = port;
  record->Origin = origin;
  record->Error = error;
  record->Time = 45000.0 + (10 * 3600 + 7 * 60 + 4.35) / 86400.0;
  record->Length = static_cast<uint16_t>(std::min(bytes.size(), size_t{PacketCapacity}));
  std::memcpy(record->Data, bytes.data(), record->Length);
  return record;
}

std::string CountingBytes(size_t length) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i);
  return bytes;
}

void HandTo(PacketSink& sink, const PacketRecord& record, uint16_t sequence) {
  std::vector<std::string> lines;
  sink.Take(PacketView(record, sequence, lines));
}

}  // namespace tapwise
