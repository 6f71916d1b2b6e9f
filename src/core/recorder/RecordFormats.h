#pragma once
// Every record format in one table: what the recorder does with it, the
// command-line option that names it, its entry in the Record or Play dialog
// and the extension a chosen name gets. The command line, its usage text,
// the demo, the recorder and the window's dialogs all read it; adding a
// format is a row here plus its reader or writer in core/format and the
// recorder's step for its state.
//
// A dialog's entries are its rows of that kind, in table order; their
// 1-based position is the filter index the dialogs return and the settings
// keep as RecordType (1 packet data, 2 raw or hex, 3 pcapng or raw), so a
// new row goes after the others of its kind.

#include <span>
#include <string>

#include "core/recorder/RecorderState.h"

namespace tapwise {

struct RecordFormat {
  // A playing or a recording state: which reader or writer the recorder
  // uses (PlayStep and Recording::Take switch on it).
  RecorderState State;
  // The command-line option, "-name:", matched without regard to case.
  const char* Option;
  // The dialog's filter entry: its label and its pattern.
  const char* DialogLabel;
  const char* DialogPattern;
  // The extension a name chosen in the Record dialog is given, replacing its
  // own; none: a name without an extension gets ".txt".
  const char* Extension;
  // The option's lines in the usage text, after its name; lines after the
  // first begin with the indentation of the text column.
  const char* Usage;
};

// Every format: the recording ones, then the playing ones.
std::span<const RecordFormat> RecordFormats();

// The row of a state; null for Idle.
const RecordFormat* FindRecordFormat(RecorderState state);
// The row behind a dialog's filter index. Any other index is the raw
// format, as it always was.
const RecordFormat& DialogRecordFormat(bool record, int filterIndex);
// A state's filter index in its dialog (1-based); 0 for Idle.
int DialogFilterIndex(RecorderState state);
// The dialog's filter: "label|pattern|label|pattern…", in filter-index order.
std::string DialogFilter(bool record);

}  // namespace tapwise
