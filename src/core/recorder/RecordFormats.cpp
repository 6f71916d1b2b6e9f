#include "core/recorder/RecordFormats.h"

namespace tapwise {

namespace {

constexpr RecordFormat Formats[] = {
    {RecorderState::RecordPacketData, "-record:", "Packet Data File  (*.DAT)", "*.dat", "DAT",
     "record every packet to FILE as a packet data file (the hex\n"
     "lines, CR LF); the name is used as given"},
    {RecorderState::RecordRaw, "-recordraw:", "Raw Data File  (*.*)", "*.*", nullptr,
     "record the bare bytes of every packet to FILE"},
    {RecorderState::RecordPcapng, "-recordpcapng:", "pcapng Files (*.pcapng)", "*.pcapng", "pcapng",
     "record every packet to FILE as pcapng, for packet analysers\n"
     "(-record: does so too when FILE ends .pcapng): one\n"
     "interface per port, the direction and time of each packet;\n"
     "FILE - is standard output (the packet lines then go to\n"
     "standard error), and FILE may be a named pipe (FIFO):\n"
     "-recordpcapng:- | tshark -i - shows the packets live"},
    {RecorderState::PlayPacketData, "-play:", "Packet Data File  (*.DAT)", "*.dat", nullptr,
     "play a packet data file out of the selected port, packet by\n"
     "packet; played packets show as transmissions"},
    {RecorderState::PlayHex, "-playhex:", "Hex Data File  (*.*)", "*.*", nullptr,
     "play a hex data file (lines of hex bytes; a line of anything\n"
     "else separates packets)"},
    {RecorderState::PlayRaw, "-playraw:", "Raw Data File  (*.*)", "*.*", nullptr,
     "play a raw file; a packet ends at each 00 byte"},
};

bool OfDialog(const RecordFormat& format, bool record) {
  return record ? IsRecordingState(format.State) : IsPlayingState(format.State);
}

}  // namespace

std::span<const RecordFormat> RecordFormats() { return Formats; }

const RecordFormat* FindRecordFormat(RecorderState state) {
  for (const RecordFormat& format : Formats) {
    if (format.State == state) return &format;
  }
  return nullptr;
}

const RecordFormat& DialogRecordFormat(bool record, int filterIndex) {
  int index = 0;
  for (const RecordFormat& format : Formats) {
    if (OfDialog(format, record) && ++index == filterIndex) return format;
  }
  return *FindRecordFormat(record ? RecorderState::RecordRaw : RecorderState::PlayRaw);
}

int DialogFilterIndex(RecorderState state) {
  const bool record = IsRecordingState(state);
  int index = 0;
  for (const RecordFormat& format : Formats) {
    if (!OfDialog(format, record)) continue;
    ++index;
    if (format.State == state) return index;
  }
  return 0;
}

std::string DialogFilter(bool record) {
  std::string filter;
  for (const RecordFormat& format : Formats) {
    if (!OfDialog(format, record)) continue;
    if (!filter.empty()) filter += '|';
    filter += std::string(format.DialogLabel) + "|" + format.DialogPattern;
  }
  return filter;
}

}  // namespace tapwise
